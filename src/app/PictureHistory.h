// The picture history behind Undo and Redo: snapshots of the card, oldest first. A snapshot is a
// picture holding a copy of the card's bitmap, which shares the card's pixels until the card is
// next drawn on, so taking one costs a reference, not a pixel copy. The history has no upper
// bound; snapshots are never dropped by age.
#pragma once

#include "graphics/Picture.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace velmora {

class PictureHistory {
  public:
    PictureHistory();
    ~PictureHistory();
    PictureHistory(const PictureHistory&) = delete;
    PictureHistory& operator=(const PictureHistory&) = delete;

    // Pushes a copy of card as the newest snapshot. What was undone can no longer be redone.
    void Take(const graphics::TPicture& card);
    // Puts the newest snapshot into card (a picture assignment: the card gets a new bitmap
    // object) and drops it from the history, keeping it, with the card as it was before, for
    // Redo. Returns false and leaves card alone when the history is empty.
    bool Undo(graphics::TPicture& card);
    // Reverses the last Undo that no snapshot has followed: card shows again what it showed
    // before that Undo and the snapshot it used up is back. Returns false and leaves card alone
    // when there is nothing to redo.
    bool Redo(graphics::TPicture& card);

    std::size_t Count() const { return snapshots_.size(); }
    bool Empty() const { return snapshots_.empty(); }
    std::size_t RedoCount() const { return undone_.size(); }
    // Index 0 is the oldest snapshot.
    const graphics::TPicture& Snapshot(std::size_t index) const { return *snapshots_.at(index); }

  private:
    struct Undone {
        std::unique_ptr<graphics::TPicture> snapshot;
        std::unique_ptr<graphics::TPicture> cardBefore;
    };

    std::vector<std::unique_ptr<graphics::TPicture>> snapshots_;
    std::vector<Undone> undone_;
};

} // namespace velmora
