// Writing finished cards on a few threads. Each card file's contents are flushed to the disk
// before it gets its name (PutCardFile); with several files in flight those waits overlap each
// other and the making of the next cards, instead of adding up.
#pragma once

#include "cli/CardFile.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace cli {

class CardWriterPool {
  public:
    struct Result {
        std::filesystem::path path;
        std::string error; // empty when the file is in place
    };

    // threads writers; Submit waits while maxQueued cards are waiting for one.
    CardWriterPool(size_t threads, ExistingFiles existing, size_t maxQueued = 32);
    // Writes everything submitted, then stops the writers.
    ~CardWriterPool();
    CardWriterPool(const CardWriterPool&) = delete;
    CardWriterPool& operator=(const CardWriterPool&) = delete;

    // bytes become the file at path (PutCardFile).
    void Submit(std::filesystem::path path, std::vector<uint8_t> bytes);

    // The results finished since the last call, after waiting up to timeout for at least one
    // while cards are still being written. Empty when nothing is left to write.
    std::vector<Result> TakeResults(std::chrono::milliseconds timeout);
    // Cards submitted whose results have not been taken yet.
    size_t Outstanding() const;

  private:
    struct Job {
        std::filesystem::path path;
        std::vector<uint8_t> bytes;
    };

    void Work();

    ExistingFiles existing_;
    size_t maxQueued_;
    mutable std::mutex mutex_;
    std::condition_variable jobReady_;  // a job waits, or the pool stops
    std::condition_variable queueRoom_; // the queue has room
    std::condition_variable resultReady_;
    std::deque<Job> jobs_;
    std::vector<Result> results_;
    size_t outstanding_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace cli
