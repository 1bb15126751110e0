#pragma once
// A pseudo-terminal pair standing in for a serial line: the sensor keeps the master, the
// configurator opens the slave by its path.

#include <QString>

class TPtyPair {
public:
    /// Creates the pair with the slave in raw mode. Throws std::system_error on failure.
    TPtyPair();
    ~TPtyPair();
    TPtyPair(const TPtyPair &) = delete;
    TPtyPair &operator=(const TPtyPair &) = delete;

    /// The sensor's end, non-blocking.
    int Master() const { return FMaster; }
    /// The path the configurator opens.
    QString SlavePath() const { return FSlavePath; }
    /// Closes the master: the configurator's side sees the line hang up.
    void CloseMaster();

private:
    int FMaster = -1;
    // Held open so the master does not report a hang-up between the configurator's opens.
    int FSlave = -1;
    QString FSlavePath;
};

/// Puts a terminal into raw 9600 8N1 mode. Returns false when it is no terminal.
bool SetRawLine(int fd);
