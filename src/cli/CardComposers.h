// Composing and encoding the cards of a run on a few threads. Cards are independent of each
// other, but the objects a card is drawn from are not shared between threads: every composer has
// its own copy of the background (a copy shares its pixels with the original until written, and
// that sharing is not thread-safe). Results are taken in the order the cards were asked for, so
// what follows (file names, the sent log) is the same whatever the number of threads.
#pragma once

#include "cli/MakeCards.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace cli {

// The number of composing threads when none is asked for: one per core, at most kMaxComposers.
size_t DefaultComposerCount();
constexpr size_t kMaxComposers = 16;

class CardComposerPool {
  public:
    struct Result {
        std::vector<uint8_t> bytes; // the card's file
        std::string error;          // empty when the card was made
    };
    // Makes the file bytes of card index on the given background; may raise.
    using Compose = std::function<std::vector<uint8_t>(size_t index, const CardBackground&)>;

    // One thread per background.
    CardComposerPool(std::vector<CardBackground> backgrounds, Compose compose);
    // Drops the cards not taken and stops the threads.
    ~CardComposerPool();
    CardComposerPool(const CardComposerPool&) = delete;
    CardComposerPool& operator=(const CardComposerPool&) = delete;

    // Asks for card index. The caller bounds how many are asked for and not taken yet.
    void Submit(size_t index);
    // Waits for card index, which must have been submitted, and hands it over.
    Result Take(size_t index);

  private:
    void Work(const CardBackground& background);

    std::vector<CardBackground> backgrounds_;
    Compose compose_;
    std::mutex mutex_;
    std::condition_variable jobReady_;
    std::condition_variable resultReady_;
    std::deque<size_t> jobs_;
    std::map<size_t, Result> done_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace cli
