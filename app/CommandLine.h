#pragma once
// The configurator's command line: --help, --version and the serial devices to offer.

#include <QCommandLineParser>

/// Declares the options and the PORT arguments on parser.
void DescribeCommandLine(QCommandLineParser &parser);

/// --trace FILE: every request and reply of the sensor link, off unless given.
QCommandLineOption TraceOption();

/// Prints the help or version text and ends the program when either is asked for. Call it
/// before the GUI application exists: neither answer needs a display.
void AnswerInfoOptions(int argc, char **argv, QCommandLineParser &parser);
