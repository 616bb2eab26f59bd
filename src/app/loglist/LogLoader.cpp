#include "app/loglist/LogLoader.h"

#include <QMetaObject>
#include <chrono>
#include <utility>

namespace loglist {

namespace {

// The worker hands progress over no more often than this, so a fast load does not flood the
// event queue and a slow one still moves the bar visibly.
constexpr auto kProgressInterval = std::chrono::milliseconds(40);

} // namespace

LogLoader::~LogLoader() {
    Stop();
}

void LogLoader::Stop() {
    if (stop_)
        stop_->store(true);
    if (worker_.joinable())
        worker_.join();
    stop_.reset();
    running_ = false;
    ++generation_;
}

void LogLoader::Start(const std::string& path, Progress progress, Done done) {
    Stop();
    const uint64_t generation = generation_;
    auto stop = std::make_shared<std::atomic<bool>>(false);
    stop_ = stop;
    running_ = true;

    // Both run on the user-interface thread, from the receiver's queue.
    auto deliverProgress = [this, generation, progress = std::move(progress)](
                               contacts::LoadStage stage, uint64_t at, uint64_t total) {
        if (generation == generation_ && progress)
            progress(stage, at, total);
    };
    auto deliverResult = [this, generation,
                          done = std::move(done)](std::shared_ptr<contacts::LoadResult> result) {
        if (generation != generation_)
            return;
        if (worker_.joinable())
            worker_.join();
        running_ = false;
        stop_.reset();
        if (done)
            done(*result);
    };

    worker_ = std::thread([this, path, stop, deliverProgress, deliverResult] {
        auto last = std::chrono::steady_clock::time_point{};
        contacts::LoadStage lastStage = contacts::LoadStage::Reading;
        const auto onProgress = [&](contacts::LoadStage stage, uint64_t at, uint64_t total) {
            const auto now = std::chrono::steady_clock::now();
            if (stage != lastStage || now - last >= kProgressInterval) {
                last = now;
                lastStage = stage;
                QMetaObject::invokeMethod(
                    &receiver_, [=] { deliverProgress(stage, at, total); }, Qt::QueuedConnection);
            }
            return !stop->load();
        };
        auto result =
            std::make_shared<contacts::LoadResult>(contacts::LoadContactLog(path, onProgress));
        if (result->status == contacts::LoadResult::Status::Stopped)
            return;
        QMetaObject::invokeMethod(
            &receiver_, [=] { deliverResult(result); }, Qt::QueuedConnection);
    });
}

} // namespace loglist
