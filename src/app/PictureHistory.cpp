#include "app/PictureHistory.h"

namespace velmora {

namespace {

// A picture holding a copy of source's graphic; for a bitmap the copy shares its image.
std::unique_ptr<graphics::TPicture> CopyOf(const graphics::TPicture& source) {
    auto copy = std::make_unique<graphics::TPicture>();
    copy->CopyFrom(&source);
    return copy;
}

} // namespace

PictureHistory::PictureHistory() = default;
PictureHistory::~PictureHistory() = default;

void PictureHistory::Take(const graphics::TPicture& card) {
    snapshots_.push_back(CopyOf(card));
    undone_.clear();
}

bool PictureHistory::Undo(graphics::TPicture& card) {
    if (snapshots_.empty())
        return false;
    // Everything that can fail happens before the card changes, except the assignment itself,
    // which leaves the history as it was when it fails.
    std::unique_ptr<graphics::TPicture> before = CopyOf(card);
    undone_.reserve(undone_.size() + 1);
    card.CopyFrom(snapshots_.back().get());
    undone_.push_back({std::move(snapshots_.back()), std::move(before)});
    snapshots_.pop_back();
    return true;
}

bool PictureHistory::Redo(graphics::TPicture& card) {
    if (undone_.empty())
        return false;
    snapshots_.reserve(snapshots_.size() + 1);
    Undone& last = undone_.back();
    card.CopyFrom(last.cardBefore.get());
    snapshots_.push_back(std::move(last.snapshot));
    undone_.pop_back();
    return true;
}

} // namespace velmora
