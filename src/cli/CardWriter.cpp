#include "cli/CardWriter.h"

#include <algorithm>
#include <exception>

namespace cli {

CardWriterPool::CardWriterPool(size_t threads, ExistingFiles existing, size_t maxQueued)
    : existing_(existing), maxQueued_(std::max<size_t>(maxQueued, 1)) {
    threads_.reserve(threads);
    for (size_t i = 0; i < std::max<size_t>(threads, 1); ++i)
        threads_.emplace_back([this] { Work(); });
}

CardWriterPool::~CardWriterPool() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    jobReady_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void CardWriterPool::Submit(std::filesystem::path path, std::vector<uint8_t> bytes) {
    std::unique_lock lock(mutex_);
    queueRoom_.wait(lock, [this] { return jobs_.size() < maxQueued_; });
    jobs_.push_back(Job{std::move(path), std::move(bytes)});
    ++outstanding_;
    lock.unlock();
    jobReady_.notify_one();
}

std::vector<CardWriterPool::Result> CardWriterPool::TakeResults(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    resultReady_.wait_for(lock, timeout, [this] { return !results_.empty() || outstanding_ == 0; });
    std::vector<Result> taken;
    taken.swap(results_);
    outstanding_ -= taken.size();
    return taken;
}

size_t CardWriterPool::Outstanding() const {
    const std::lock_guard lock(mutex_);
    return outstanding_;
}

// Writers finish the queue before they stop, so nothing submitted is dropped.
void CardWriterPool::Work() {
    while (true) {
        std::unique_lock lock(mutex_);
        jobReady_.wait(lock, [this] { return !jobs_.empty() || stopping_; });
        if (jobs_.empty())
            return;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        queueRoom_.notify_one();

        Result result{job.path, {}};
        try {
            PutCardFile(job.path, job.bytes, existing_);
        } catch (const std::exception& error) {
            result.error = error.what();
        }
        lock.lock();
        results_.push_back(std::move(result));
        lock.unlock();
        resultReady_.notify_all();
    }
}

} // namespace cli
