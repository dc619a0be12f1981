// The serial front end: serves the box model on a pseudo-terminal (or a tty device) from a
// background thread, so tests can run it in-process next to the driver they exercise.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "box_model.h"
#include "options.h"
#include "traffic_log.h"

namespace tester_sim {

struct serve_setup {
    sim_options options;
    std::string device;        // empty: a new pseudo-terminal
    bool keep_traffic = true;  // keep every byte for traffic()
};

class pty_server {
  public:
    // Opens the line and starts serving. Throws std::runtime_error naming the device and why
    // it failed (also when the log file cannot be opened).
    explicit pty_server(serve_setup setup);
    ~pty_server();
    pty_server(const pty_server &) = delete;
    pty_server &operator=(const pty_server &) = delete;

    // The path for COM1=...: the pseudo-terminal's slave side, or the device given.
    std::string device_path() const;

    // Thread-safe; takes effect from the next byte the box takes.
    void set_faults(std::vector<fault> faults);

    std::vector<traffic_entry> traffic() const;
    void clear_traffic();
    box_state state() const;

    // Closes the line now, as a vanish fault does; line_open() turns false.
    void vanish();
    bool line_open() const;
    // Opens a new line (a new pseudo-terminal path, or the device again) and returns its path.
    std::string restore();

    // Pseudo-terminal only: while refused, opening the slave side fails (EIO), even for root.
    void refuse_open(bool refused);

  private:
    void serve();
    std::uint64_t write_due(std::uint64_t now, bool &wants_pollout);
    void read_one(std::uint64_t now);
    void let_host_take_sent_bytes();
    void open_line();
    void close_line(const char *why);
    void wake();
    void record(const traffic_entry &entry);
    void note(const std::string &text);
    std::uint64_t now_us() const;

    const std::string device_;
    const bool keep_traffic_;
    const std::int64_t start_ns_;  // the time base of the model and the log

    mutable std::mutex mutex_;
    box_model model_;
    std::string path_;
    int line_fd_ = -1;
    std::optional<box_byte> unwritten_;  // taken from the model, not yet on the line
    std::uint64_t last_arrival_us_ = 0;
    std::vector<traffic_entry> traffic_;
    std::FILE *log_ = nullptr;
    bool log_owned_ = false;
    bool stopping_ = false;

    int wake_pipe_[2] = {-1, -1};
    std::thread thread_;
};

}  // namespace tester_sim
