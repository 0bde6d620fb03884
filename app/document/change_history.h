#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/image_stack.h"

class mtxBaseThread;
class mtxCompressor;
class mtxFile;

// The picture's change history behind Undo and Redo: a journal of records in a
// file, walked one record backward (Undo) or forward (Redo).
//
// A pixel record holds the 128 x 128 tiles of one layer that a change touched,
// each deflated twice: as it was before the change and as it is after, so
// Undo writes the before pixels back and Redo the after pixels. Records are
// made by bracketing a change:
//
//   history.BeginChange(stack, 0, "Fill");   // keeps a copy of layer 0
//   ... draw, commit the drawing into layer 0's source image ...
//   history.EndChange(stack);                // records the tiles that differ
//
// A record made after an Undo drops the records that Redo would have walked.
// The journal keeps at most `budget` bytes of records; older ones are dropped
// to make room. The journal file is a temporary file that nobody else sees
// and that goes with the object. When the journal cannot be written or read
// back, history switches itself off (Enabled() 0): the picture stays as it is,
// only the ability to undo is lost.
//
// Every call runs on the user-interface thread, like every other use of the
// stack's layers. Deflating a large change takes long; with RecordLater on,
// EndChange only finds the tiles that differ and copies the layer, and a
// thread of the history's own deflates them. The record joins the journal
// before anything else reads or writes it (Settle), and the questions about
// the records answer meanwhile as if it were there.
class mtxChangeHistory {
  public:
    static constexpr int kTileEdge = 128;
    static constexpr uint64_t kDefaultBudget = 256ull << 20;
    static constexpr uint32_t kNoRecord = 0xFFFFFFFFu;  // link of a record without neighbour
    static constexpr size_t kHeaderSize = 16;
    static constexpr size_t kMaxNameLength = 255;  // UTF-16 units
    // Record kinds.
    static constexpr uint8_t kKindPixels = 1;
    static constexpr uint8_t kKindOpacity = 2;
    static constexpr uint8_t kKindLayerAdded = 3;
    static constexpr uint8_t kKindLayerRemoved = 4;
    static constexpr uint8_t kKindTransform = 5;
    static constexpr uint8_t kKindData = 6;  // bytes of the caller's, handed back by a walk
    // Requests sent to the worker around a walk.
    static constexpr uint32_t kRequestPause = 1;
    static constexpr uint32_t kRequestContinue = 2;

    // One 128 x 128 tile of a layer: pixels [column x 128, +128) x [row x 128, +128),
    // cut at the layer's right and bottom edges.
    struct Tile {
        uint16_t column = 0;
        uint16_t row = 0;
        bool operator==(const Tile&) const = default;
    };
    // What one Undo or Redo changed.
    struct Step {
        int layer = -1;
        uint8_t kind = 0;
        std::vector<Tile> tiles;    // kKindPixels: the tiles written back
        mtxRect changed;            // layer pixels that may look different now
        uint64_t serial = 0;        // the record's, as LastSerial gave it
        std::vector<uint8_t> data;  // kKindData: the bytes recorded
    };

    // budget: bytes of records kept (the journal file grows to at most twice
    // that before it is compacted). journal: the file to keep the records in,
    // open for reading and writing (for tests); null makes a temporary file in
    // folder (empty: the system's temporary folder) when the first record is
    // written.
    explicit mtxChangeHistory(uint64_t budget = kDefaultBudget,
                              std::unique_ptr<mtxFile> journal = nullptr,
                              const std::string& folder = std::string());
    ~mtxChangeHistory();
    mtxChangeHistory(const mtxChangeHistory&) = delete;
    mtxChangeHistory& operator=(const mtxChangeHistory&) = delete;

    // Keeps a copy of the layer's source image; the change named name (UTF-8,
    // at most 255 UTF-16 units kept) starts. A change still open is ended first.
    // 1, or 0 when there is no such layer or history is off.
    int BeginChange(mtxImageStack& stack, int layer, const std::string& name);
    // Compares the layer with the copy and records the tiles that differ (none:
    // no record). 1 when recorded or nothing changed; 0 without an open change,
    // or when the journal failed (history is then off). A layer whose size
    // changed since BeginChange cannot be recorded: the history is emptied.
    int EndChange(mtxImageStack& stack);
    // Forgets the open change without recording it.
    void CancelChange();
    // Whether EndChange leaves deflating its record to a thread (off at first).
    void RecordLater(bool on) { recordLater_ = on; }
    // Waits for a record being made and appends it; 0 when that failed
    // (history is then off or emptied, as EndChange would have left it).
    int Settle();
    bool Settling() const { return pending_ != nullptr; }
    bool InChange() const { return snapshot_ != nullptr; }

    // Records a change of a layer's opacity from before to after (the caller
    // sets it). 1 when recorded.
    int RecordOpacity(int layer, uint8_t before, uint8_t after, const std::string& name);
    // Records a change the caller makes outside the layers' pixels (a
    // painted map): Undo and Redo hand data back in their step, and the
    // caller puts things back. 1 when recorded.
    int RecordData(int layer, const std::vector<uint8_t>& data, const std::string& name);
    // Records a change of a layer's 3 x 3 transform (the caller sets it). 1
    // when recorded.
    int RecordTransform(int layer, const float before[9], const float after[9],
                        const std::string& name);
    // Records that the layer at index was added (call after adding it) or is
    // about to be removed (call before removing it): its pixels, size,
    // opacity and transform, so that Undo takes an added layer away and puts
    // a removed one back, and Redo does the change again. 1 when recorded; 0
    // without such a layer, while a change of this layer or one above is
    // open, or when history is off.
    int RecordLayer(mtxImageStack& stack, int layer, bool added, const std::string& name);

    // Moves one record backward (Undo) or forward (Redo): writes the record's
    // pixels into the layer's source image and notes every viewer tile that
    // shows them in the layer's change records (viewerData, kind 0), so the
    // viewer's UploadChanges shows them; or sets the recorded opacity. With a
    // worker, request 1 goes to it before the journal is read and, when it
    // answered, request 2 after. Pass a task only while its work runs: one
    // waiting in its request loop takes request 2 as the order to start work. 1 when a record was
    // walked (step, when not null, says what changed); 0 at the end of the history, while a change
    // is open, or when the record could not be read or no longer fits the picture (history is then
    // emptied; nothing changes).
    int Undo(mtxImageStack& stack, mtxBaseThread* worker = nullptr, Step* step = nullptr);
    int Redo(mtxImageStack& stack, mtxBaseThread* worker = nullptr, Step* step = nullptr);

    // The serial number of the last record made (from 1, never reused by
    // this history), so a caller can keep what goes with it; 0 before any.
    uint64_t LastSerial() const { return serial_; }

    bool CanUndo() const { return enabled_ && (cursor_ > 0 || pending_); }
    bool CanRedo() const { return enabled_ && !pending_ && cursor_ < records_.size(); }
    // The name of the record Undo or Redo would walk; empty when none.
    std::string UndoName() const;
    std::string RedoName() const;

    // Drops every record and an open change (a new picture was opened).
    // History that was switched off stays off.
    void Clear();
    int Enabled() const { return enabled_ ? 1 : 0; }
    // A record being made drops the records Redo would walk.
    size_t RecordCount() const { return pending_ ? cursor_ + 1 : records_.size(); }
    // Bytes of records kept (a record being made counts once settled).
    uint64_t JournalBytes() const;
    // The file's length: records kept and space not yet compacted away.
    uint64_t JournalFileBytes() const { return fileEnd_; }

  private:
    struct Record {
        uint32_t position = 0;
        uint32_t size = 0;
        std::string name;
        uint64_t serial = 0;
    };
    struct Snapshot;
    struct Pending;
    // A copy of a layer's pixels, rows of its width, shared by whoever reads it.
    struct LayerCopy {
        int layer = -1, width = 0, height = 0;
        std::weak_ptr<const mtxColor[]> pixels;
    };
    // The copy a record in the making took of its layer, when it still is
    // that layer: the next change's snapshot, without copying again.
    std::shared_ptr<const mtxColor[]> CopyStillShowing(const mtxImage& image, int layer) const;

    int TakeSnapshot(mtxImageStack& stack, int layer, const std::string& name);
    int RecordDifferences(mtxImageStack& stack, std::unique_ptr<Snapshot> before);
    // Appends a record made; 0 when it could not be made or kept.
    int Finish(Pending& job);
    int Walk(mtxImageStack& stack, mtxBaseThread* worker, bool backward, Step* step);
    int Apply(mtxImageStack& stack, const Record& record, bool backward, Step* step);
    int ApplyPixels(mtxImageStack& stack, const std::vector<uint8_t>& bytes, size_t at,
                    int layerIndex, bool backward, Step* step);
    int ApplyLayer(mtxImageStack& stack, const std::vector<uint8_t>& bytes, size_t at,
                   int layerIndex, bool insert);
    int Append(std::vector<uint8_t>& record, const std::string& name, uint64_t serial = 0);
    void DropPending();
    int OpenJournal();
    int WriteAt(uint64_t position, const void* bytes, size_t count);
    int ReadAt(uint64_t position, void* bytes, size_t count);
    int WriteLinks(size_t index);
    int Compact();
    void DropRedo();
    void Disable();

    uint64_t budget_;
    std::string folder_;
    std::unique_ptr<mtxFile> journal_;
    std::unique_ptr<mtxCompressor> deflate_;
    std::vector<Record> records_;  // oldest first
    size_t cursor_ = 0;            // records before it are applied
    uint64_t fileEnd_ = 0;         // where the next record goes
    bool enabled_ = true;
    uint64_t serial_ = 0;
    std::unique_ptr<Snapshot> snapshot_;
    bool recordLater_ = false;
    std::unique_ptr<Pending> pending_;
    // What the last record made later read, while it is being made.
    LayerCopy lastAfter_;
};
