// Loads a contact log on a thread of its own, so a log of a hundred thousand contacts leaves
// the windows responsive. Progress and the result are handed to the user-interface thread
// through its event queue; the callbacks run there and only there, so the list's model is
// never touched by the worker.
#pragma once

#include "contacts/ContactLog.h"

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace loglist {

class LogLoader {
  public:
    using Progress = std::function<void(contacts::LoadStage, uint64_t done, uint64_t total)>;
    using Done = std::function<void(contacts::LoadResult&)>;

    LogLoader() = default;
    // Stops a running load and waits for its thread.
    ~LogLoader();
    LogLoader(const LogLoader&) = delete;
    LogLoader& operator=(const LogLoader&) = delete;

    // Starts loading path; a load still running is stopped first and its results are dropped.
    // done is called once, unless the load is stopped.
    void Start(const std::string& path, Progress progress, Done done);
    // Asks a running load to stop and waits for its thread. The reader itself cannot be
    // interrupted, so this may wait until it has finished reading the records.
    void Stop();
    bool Running() const { return running_; }

  private:
    // Receives the worker's messages on the user-interface thread; messages still queued when
    // the loader goes away are dropped with it.
    QObject receiver_;
    std::thread worker_;
    std::shared_ptr<std::atomic<bool>> stop_;
    // Counts the loads started, so messages of a stopped load are recognised and dropped.
    uint64_t generation_ = 0;
    bool running_ = false;
};

} // namespace loglist
