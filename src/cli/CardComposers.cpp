#include "cli/CardComposers.h"

#include <algorithm>
#include <exception>

namespace cli {

size_t DefaultComposerCount() {
    return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, kMaxComposers);
}

CardComposerPool::CardComposerPool(std::vector<CardBackground> backgrounds, Compose compose)
    : backgrounds_(std::move(backgrounds)), compose_(std::move(compose)) {
    threads_.reserve(backgrounds_.size());
    for (const CardBackground& background : backgrounds_)
        threads_.emplace_back([this, &background] { Work(background); });
}

CardComposerPool::~CardComposerPool() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    jobReady_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void CardComposerPool::Submit(size_t index) {
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back(index);
    }
    jobReady_.notify_one();
}

CardComposerPool::Result CardComposerPool::Take(size_t index) {
    std::unique_lock lock(mutex_);
    resultReady_.wait(lock, [&] { return done_.contains(index); });
    auto found = done_.find(index);
    Result result = std::move(found->second);
    done_.erase(found);
    return result;
}

void CardComposerPool::Work(const CardBackground& background) {
    while (true) {
        std::unique_lock lock(mutex_);
        jobReady_.wait(lock, [this] { return !jobs_.empty() || stopping_; });
        if (stopping_)
            return;
        const size_t index = jobs_.front();
        jobs_.pop_front();
        lock.unlock();

        Result result;
        try {
            result.bytes = compose_(index, background);
        } catch (const std::exception& error) {
            result.error = error.what();
        } catch (...) {
            result.error = "the card could not be made";
        }
        lock.lock();
        done_.emplace(index, std::move(result));
        lock.unlock();
        resultReady_.notify_all();
    }
}

} // namespace cli
