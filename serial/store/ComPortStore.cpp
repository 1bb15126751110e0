// Saving the port's settings to the settings store or an ini file and loading them back.

#include "serial/ComConvert.h"
#include "serial/ComPort.h"
#include "serial/store/ComIniFile.h"
#include "serial/store/ComRegistry.h"
#include "serial/store/StoreTexts_p.h"

namespace {
/// Where values go; the same table serves both store kinds.
class TValueSink {
public:
    virtual ~TValueSink() = default;
    virtual void Text(const QString &Name, const QString &Value) = 0;
    virtual void Integer(const QString &Name, int Value) = 0;
};

/// Where values come from. Current is the text or number of the property's current value.
class TValueSource {
public:
    virtual ~TValueSource() = default;
    virtual QString Text(const QString &Name, const QString &Current) = 0;
    virtual int Integer(const QString &Name, int Current) = 0;
};

class TRegistrySink : public TValueSink {
public:
    explicit TRegistrySink(TComRegistry &Registry) : FRegistry(Registry) {}
    void Text(const QString &Name, const QString &Value) override { FRegistry.WriteString(Name, Value); }
    void Integer(const QString &Name, int Value) override { FRegistry.WriteInteger(Name, Value); }

private:
    TComRegistry &FRegistry;
};

/// The registry has no defaults: a missing text is empty, a missing integer an error.
class TRegistrySource : public TValueSource {
public:
    explicit TRegistrySource(TComRegistry &Registry) : FRegistry(Registry) {}
    QString Text(const QString &Name, const QString &) override { return FRegistry.ReadString(Name); }
    int Integer(const QString &Name, int) override { return FRegistry.ReadInteger(Name); }

private:
    TComRegistry &FRegistry;
};

class TIniSink : public TValueSink {
public:
    TIniSink(TComIniFile &IniFile, QString Section) : FIni(IniFile), FSection(std::move(Section)) {}
    void Text(const QString &Name, const QString &Value) override { FIni.WriteString(FSection, Name, Value); }
    void Integer(const QString &Name, int Value) override { FIni.WriteInteger(FSection, Name, Value); }

private:
    TComIniFile &FIni;
    QString FSection;
};

/// A missing ini value leaves the property as it is.
class TIniSource : public TValueSource {
public:
    TIniSource(TComIniFile &IniFile, QString Section) : FIni(IniFile), FSection(std::move(Section)) {}
    QString Text(const QString &Name, const QString &Current) override
    {
        return FIni.ReadString(FSection, Name, Current);
    }
    int Integer(const QString &Name, int Current) override { return FIni.ReadInteger(FSection, Name, Current); }

private:
    TComIniFile &FIni;
    QString FSection;
};

// Groups are always handled in this order, whatever the order of the set.

void WriteGroups(const TCustomComPort &Port, TValueSink &Sink)
{
    const TStoredProps props = Port.StoredProps();
    if (props.Contains(spBasic)) {
        Sink.Text(QStringLiteral("Port"), Port.Port());
        Sink.Text(QStringLiteral("BaudRate"), BaudRateToStr(Port.BaudRate()));
        if (Port.BaudRate() == brCustom)
            Sink.Integer(QStringLiteral("CustomBaudRate"), Port.CustomBaudRate());
        Sink.Text(QStringLiteral("StopBits"), StopBitsToStr(Port.StopBits()));
        Sink.Text(QStringLiteral("DataBits"), DataBitsToStr(Port.DataBits()));
        Sink.Text(QStringLiteral("Parity"), ParityToStr(Port.Parity().Bits()));
        Sink.Text(QStringLiteral("FlowControl"), FlowControlToStr(Port.FlowControl().GetFlowControl()));
    }
    if (props.Contains(spOthers)) {
        Sink.Text(QStringLiteral("EventChar"), CharToStoreText(Port.EventChar()));
        Sink.Text(QStringLiteral("DiscardNull"), BoolToStoreText(Port.DiscardNull()));
    }
    if (props.Contains(spParity)) {
        const TComParity &p = Port.Parity();
        Sink.Text(QStringLiteral("Parity.Check"), BoolToStoreText(p.Check()));
        Sink.Text(QStringLiteral("Parity.Replace"), BoolToStoreText(p.Replace()));
        Sink.Text(QStringLiteral("Parity.ReplaceChar"), CharToStoreText(p.ReplaceChar()));
    }
    if (props.Contains(spBuffer)) {
        Sink.Integer(QStringLiteral("Buffer.OutputSize"), Port.Buffer().OutputSize());
        Sink.Integer(QStringLiteral("Buffer.InputSize"), Port.Buffer().InputSize());
    }
    if (props.Contains(spTimeouts)) {
        const TComTimeouts &t = Port.Timeouts();
        Sink.Integer(QStringLiteral("Timeouts.ReadInterval"), t.ReadInterval());
        Sink.Integer(QStringLiteral("Timeouts.ReadTotalConstant"), t.ReadTotalConstant());
        Sink.Integer(QStringLiteral("Timeouts.ReadTotalMultiplier"), t.ReadTotalMultiplier());
        Sink.Integer(QStringLiteral("Timeouts.WriteTotalConstant"), t.WriteTotalConstant());
        Sink.Integer(QStringLiteral("Timeouts.WriteTotalMultiplier"), t.WriteTotalMultiplier());
    }
    if (props.Contains(spFlowControl)) {
        const TComFlowControl &f = Port.FlowControl();
        Sink.Text(QStringLiteral("FlowControl.ControlRTS"), RTSToStoreText(f.ControlRTS()));
        Sink.Text(QStringLiteral("FlowControl.ControlDTR"), DTRToStoreText(f.ControlDTR()));
        Sink.Text(QStringLiteral("FlowControl.DSRSensitivity"), BoolToStoreText(f.DSRSensitivity()));
        Sink.Text(QStringLiteral("FlowControl.OutCTSFlow"), BoolToStoreText(f.OutCTSFlow()));
        Sink.Text(QStringLiteral("FlowControl.OutDSRFlow"), BoolToStoreText(f.OutDSRFlow()));
        Sink.Text(QStringLiteral("FlowControl.TxContinueOnXoff"), BoolToStoreText(f.TxContinueOnXoff()));
        Sink.Text(QStringLiteral("FlowControl.XonXoffIn"), BoolToStoreText(f.XonXoffIn()));
        Sink.Text(QStringLiteral("FlowControl.XonXoffOut"), BoolToStoreText(f.XonXoffOut()));
        Sink.Text(QStringLiteral("FlowControl.XoffChar"), CharToStoreText(f.XoffChar()));
        Sink.Text(QStringLiteral("FlowControl.XonChar"), CharToStoreText(f.XonChar()));
    }
}

/// Applies each value through its setter as soon as it is read.
void ReadGroups(TCustomComPort &Port, TValueSource &Source)
{
    const TStoredProps props = Port.StoredProps();
    if (props.Contains(spBasic)) {
        Port.SetPort(Source.Text(QStringLiteral("Port"), Port.Port()));
        Port.SetBaudRate(StrToBaudRate(Source.Text(QStringLiteral("BaudRate"), BaudRateToStr(Port.BaudRate()))));
        // Unlike the other values, a missing custom rate does not keep the port's own: 9600.
        if (Port.BaudRate() == brCustom)
            Port.SetCustomBaudRate(Source.Integer(QStringLiteral("CustomBaudRate"), 9600));
        Port.SetStopBits(StrToStopBits(Source.Text(QStringLiteral("StopBits"), StopBitsToStr(Port.StopBits()))));
        Port.SetDataBits(StrToDataBits(Source.Text(QStringLiteral("DataBits"), DataBitsToStr(Port.DataBits()))));
        Port.Parity().SetBits(StrToParity(Source.Text(QStringLiteral("Parity"), ParityToStr(Port.Parity().Bits()))));
        Port.FlowControl().SetFlowControl(StrToFlowControl(
            Source.Text(QStringLiteral("FlowControl"), FlowControlToStr(Port.FlowControl().GetFlowControl()))));
    }
    if (props.Contains(spOthers)) {
        Port.SetEventChar(StoreTextToChar(Source.Text(QStringLiteral("EventChar"), CharToStoreText(Port.EventChar()))));
        Port.SetDiscardNull(
            StoreTextToBool(Source.Text(QStringLiteral("DiscardNull"), BoolToStoreText(Port.DiscardNull()))));
    }
    if (props.Contains(spParity)) {
        TComParity &p = Port.Parity();
        p.SetCheck(StoreTextToBool(Source.Text(QStringLiteral("Parity.Check"), BoolToStoreText(p.Check()))));
        p.SetReplace(StoreTextToBool(Source.Text(QStringLiteral("Parity.Replace"), BoolToStoreText(p.Replace()))));
        p.SetReplaceChar(
            StoreTextToChar(Source.Text(QStringLiteral("Parity.ReplaceChar"), CharToStoreText(p.ReplaceChar()))));
    }
    if (props.Contains(spBuffer)) {
        TComBuffer &b = Port.Buffer();
        b.SetOutputSize(Source.Integer(QStringLiteral("Buffer.OutputSize"), b.OutputSize()));
        b.SetInputSize(Source.Integer(QStringLiteral("Buffer.InputSize"), b.InputSize()));
    }
    if (props.Contains(spTimeouts)) {
        TComTimeouts &t = Port.Timeouts();
        t.SetReadInterval(Source.Integer(QStringLiteral("Timeouts.ReadInterval"), t.ReadInterval()));
        t.SetReadTotalC(Source.Integer(QStringLiteral("Timeouts.ReadTotalConstant"), t.ReadTotalConstant()));
        t.SetReadTotalM(Source.Integer(QStringLiteral("Timeouts.ReadTotalMultiplier"), t.ReadTotalMultiplier()));
        t.SetWriteTotalC(Source.Integer(QStringLiteral("Timeouts.WriteTotalConstant"), t.WriteTotalConstant()));
        t.SetWriteTotalM(Source.Integer(QStringLiteral("Timeouts.WriteTotalMultiplier"), t.WriteTotalMultiplier()));
    }
    if (props.Contains(spFlowControl)) {
        TComFlowControl &f = Port.FlowControl();
        auto flag = [&](const char *Name, bool Current) {
            return StoreTextToBool(Source.Text(QLatin1StringView(Name), BoolToStoreText(Current)));
        };
        f.SetControlRTS(StoreTextToRTS(Source.Text(QStringLiteral("FlowControl.ControlRTS"), RTSToStoreText(f.ControlRTS()))));
        f.SetControlDTR(StoreTextToDTR(Source.Text(QStringLiteral("FlowControl.ControlDTR"), DTRToStoreText(f.ControlDTR()))));
        f.SetDSRSensitivity(flag("FlowControl.DSRSensitivity", f.DSRSensitivity()));
        f.SetOutCTSFlow(flag("FlowControl.OutCTSFlow", f.OutCTSFlow()));
        f.SetOutDSRFlow(flag("FlowControl.OutDSRFlow", f.OutDSRFlow()));
        f.SetTxContinueOnXoff(flag("FlowControl.TxContinueOnXoff", f.TxContinueOnXoff()));
        f.SetXonXoffIn(flag("FlowControl.XonXoffIn", f.XonXoffIn()));
        f.SetXonXoffOut(flag("FlowControl.XonXoffOut", f.XonXoffOut()));
        f.SetXoffChar(StoreTextToChar(Source.Text(QStringLiteral("FlowControl.XoffChar"), CharToStoreText(f.XoffChar()))));
        f.SetXonChar(StoreTextToChar(Source.Text(QStringLiteral("FlowControl.XonChar"), CharToStoreText(f.XonChar()))));
    }
}

/// "<root>\<path>": the key path plus "\" and the port's name, under the root that the first
/// segment names (HKEY_LOCAL_MACHINE, else the current user). Without a backslash no key is
/// opened, and only the reads and writes that follow fail.
void OpenSettingsKey(TComRegistry &Registry, const QString &Location, const QString &Name)
{
    const qsizetype slash = Location.indexOf(QLatin1Char('\\'));
    if (slash < 0)
        return;
    const QString root = Location.left(slash).toUpper();
    Registry.SetRootKey(root == QLatin1StringView("HKEY_LOCAL_MACHINE") ? rrLocalMachine : rrCurrentUser);
    QString path = Location.mid(slash + 1);
    if (!path.endsWith(QLatin1Char('\\')))
        path += QLatin1Char('\\');
    Registry.OpenKey(path + Name, true);
}

/// Runs Write, then saves what it wrote, also when Write failed part way.
template <typename Store, typename Write>
void WriteAndSave(Store &Target, Write &&WriteValues, void (Store::*Save)())
{
    try {
        WriteValues();
    } catch (...) {
        try {
            (Target.*Save)();
        } catch (...) {
        }
        throw;
    }
    (Target.*Save)();
}
} // namespace

void TCustomComPort::StoreRegistry(TComRegistry &Registry)
{
    TRegistrySink sink(Registry);
    WriteGroups(*this, sink);
}

void TCustomComPort::StoreIniFile(TComIniFile &IniFile)
{
    TIniSink sink(IniFile, objectName());
    WriteGroups(*this, sink);
}

void TCustomComPort::LoadRegistry(TComRegistry &Registry)
{
    TRegistrySource source(Registry);
    ReadGroups(*this, source);
}

void TCustomComPort::LoadIniFile(TComIniFile &IniFile)
{
    TIniSource source(IniFile, objectName());
    ReadGroups(*this, source);
}

void TCustomComPort::StoreSettings(TStoreType StoreType, const QString &StoreTo)
{
    bool failed = false;
    try {
        if (StoreType == stIniFile) {
            TComIniFile ini(StoreTo);
            WriteAndSave(ini, [&] { StoreIniFile(ini); }, &TComIniFile::UpdateFile);
        } else {
            TComRegistry registry;
            OpenSettingsKey(registry, StoreTo, objectName());
            WriteAndSave(registry, [&] { StoreRegistry(registry); }, &TComRegistry::UpdateStore);
        }
    } catch (...) {
        failed = true;
    }
    if (failed)
        CallException(CE_StoreFailed + 1);
}

void TCustomComPort::LoadSettings(TStoreType StoreType, const QString &LoadFrom)
{
    bool failed = false;
    BeginUpdate();
    try {
        try {
            if (StoreType == stIniFile) {
                TComIniFile ini(LoadFrom);
                LoadIniFile(ini);
            } else {
                TComRegistry registry;
                OpenSettingsKey(registry, LoadFrom, objectName());
                LoadRegistry(registry);
            }
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate(); // applies everything to an open port at once; may fail too
    } catch (...) {
        failed = true;
    }
    if (failed)
        CallException(CE_LoadFailed + 1);
}
