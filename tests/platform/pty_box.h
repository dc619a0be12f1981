// The box side of a pseudo-terminal pair: the port layer opens the slave as COMn.
#pragma once

#include <termios.h>

#include <string>
#include <vector>

#include "win32_comm.h"

class PtyBox {
  public:
    PtyBox();
    ~PtyBox();
    PtyBox(const PtyBox &) = delete;
    PtyBox &operator=(const PtyBox &) = delete;

    const std::string &slave_path() const { return slave_path_; }
    // Points the environment variable COMn at the slave.
    void map_port(const char *variable) const;

    void send(const std::vector<unsigned char> &bytes) const;
    // Everything the host has sent so far, waiting up to `patience_ms` for the first byte.
    std::vector<unsigned char> receive(int patience_ms = 200) const;
    // The device vanishes: the host side sees a hang-up.
    void unplug();

    // The slave's termios as the port layer left it.
    termios slave_line() const;

  private:
    int master_ = -1;
    int observer_ = -1;  // opened before the port layer makes the slave exclusive
    std::string slave_path_;
};

// Opens "\\.\COMn" the way the serial driver does.
HANDLE open_port(const char *name);
