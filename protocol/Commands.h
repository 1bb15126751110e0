#pragma once
// The sensor's commands. Each builds its request, runs one transaction on the context, shows
// the value the sensor reports in the context's field and reports its own failure in the
// context's error box (caption "Error").
//
// Results: 0 on success; the transaction result (ExchangeTimedOut, ExchangeNotSent) when the
// transaction failed (no reply that can be the command's own: see Exchange); -1 when the sensor
// answered NAK or SAVE_CONF reported an internal error. On failure fields and
// out-parameters keep their values. A field text that does not convert raises EConvertError
// before anything is sent; EComPort from the port propagates.

#include <QtGlobal>

class TSensorContext;

/// Switches the sensor's communication mode (1 on, 0 off) within a 50 ms window. The reply is
/// not evaluated; always returns 0.
int DevCommMode(TSensorContext &context, quint8 mode);

/// Reads the device type and firmware version; both are written only on success.
int DevId(TSensorContext &context, quint16 &devType, quint16 &firmware);

/// Makes the sensor store its configuration.
int DevSaveConf(TSensorContext &context);

/// Parameter commands: `write` false reads the sensor's value into the field, true sends the
/// field's value and shows the value the sensor reports back.
int DevInertTWork(TSensorContext &context, bool write);  ///< txtInertWork
int DevInertTCalib(TSensorContext &context, bool write); ///< txtInertCalib
int DevCalStabTime(TSensorContext &context, bool write); ///< txtCalTime
int DevInpFltTime(TSensorContext &context, bool write);  ///< txtInpFlt
int DevHystWidth(TSensorContext &context, bool write);   ///< txtHystWidth, a single-precision value

/// Calibration results: `run` false reads the stored result, true runs a calibration, waiting
/// for the averaging time of txtCalTime plus one time-out period; either way the result goes
/// into the field.
int DevCalOn(TSensorContext &context, bool run);  ///< txtCalOn
int DevCalOff(TSensorContext &context, bool run); ///< txtCalOff
