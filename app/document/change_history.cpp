#include "app/document/change_history.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <random>
#include <system_error>
#include <thread>

#include "base/base_thread.h"
#include "image/codecs/deflate.h"
#include "image/file.h"
#include "image/file_memory.h"
#include "platform/os_file.h"
#include "platform/text.h"
#include "platform/thread_priority.h"
#include "render/layers/viewer_layer.h"

// The journal: records one after another, every number little-endian.
//
//   header, 16 bytes: u32 previous record's position, u32 next record's
//     position (0xFFFFFFFF: none), u32 the layer index, u8 kind, u8 name
//     length in UTF-16 units, u16 zero
//   name: that many UTF-16 units
//   kind 1 (pixels): u32 layer width, u32 layer height, u32 tile count, then
//     per tile u16 column, u16 row, u32 bytes before, u32 bytes after, and the
//     tile's pixels (rows of the tile's width, A8R8G8B8) as they were and as
//     they are, each one zlib stream
//   kind 2 (opacity): u8 before, u8 after
//   kind 3 (layer added) and kind 4 (layer removed): u32 width, u32 height,
//     u8 opacity, three zero bytes, the transform as nine f32, u32 stream
//     size, and the layer's pixels (rows of its width, A8R8G8B8) as one zlib
//     stream
//   kind 5 (transform): the nine f32 before, the nine after
//   kind 6 (data): the caller's bytes to the record's end
//
// The records kept also live in records_ (position, size, name); a walk reads
// one record and checks its links against its neighbours there.

namespace {

constexpr int kEdge = mtxChangeHistory::kTileEdge;
constexpr uint64_t kLargestBudget = 1ull << 30;  // record positions are 32-bit
constexpr size_t kPixelsHeader = 12;             // width, height, tile count
constexpr size_t kTileHeader = 12;               // column, row, two stream sizes
constexpr size_t kCopyChunk = 1 << 20;
constexpr size_t kLayerHeader = 4 + 4 + 4 + 9 * 4 + 4;  // size, opacity, transform, stream

void Put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
}
uint32_t Get16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The journal's own file: created empty and unlinked at once, so it is gone
// with its descriptor whatever happens to the process, and opened without the
// message box that a failing mtxFile::Open shows (a missing journal only
// switches history off).
class mtxJournalFile : public mtxFile {
  public:
    int OpenTemporary(const std::string& path) {
        mtxOs::OpenRequest request;
        request.read = request.write = true;
        request.create = request.truncate = true;
        request.closeOnExec = true;
        request.deleteOnClose = true;
        int handle = mtxOs::Open(path, request);
        if (handle < 0) return 0;
        handle_ = handle;
        opened_ = 1;
        path_ = path;
        return 1;
    }
};

// The part of a layer that tile covers, cut at the layer's edges.
struct TileArea {
    int x = 0, y = 0, width = 0, height = 0;
};

TileArea AreaOf(mtxChangeHistory::Tile tile, int width, int height) {
    TileArea area;
    area.x = tile.column * kEdge;
    area.y = tile.row * kEdge;
    area.width = std::min(kEdge, width - area.x);
    area.height = std::min(kEdge, height - area.y);
    return area;
}

// UTF-16 of name, cut to what the header's length byte can say without
// splitting a surrogate pair.
std::u16string StoredName(const std::string& name) {
    std::u16string text = mtxUtf8ToUtf16(name);
    if (text.size() > mtxChangeHistory::kMaxNameLength) {
        size_t keep = mtxChangeHistory::kMaxNameLength;
        if (text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;
        text.resize(keep);
    }
    return text;
}

}  // namespace

// The layer as it was when the change began.
struct mtxChangeHistory::Snapshot {
    int layer = -1;
    int width = 0;
    int height = 0;
    std::string name;
    std::shared_ptr<const mtxColor[]> pixels;  // rows of width pixels
};

namespace {

// A copy of the image's pixels, rows of its width, in memory not cleared first.
std::shared_ptr<const mtxColor[]> CopyOf(const mtxImage& image) {
    const size_t width = size_t(image.width);
    std::shared_ptr<mtxColor[]> copy(new mtxColor[width * size_t(image.height)]);
    for (int y = 0; y < image.height; ++y)
        std::memcpy(copy.get() + size_t(y) * width, image.Row(y), width * sizeof(mtxColor));
    return copy;
}

}  // namespace

mtxChangeHistory::mtxChangeHistory(uint64_t budget, std::unique_ptr<mtxFile> journal,
                                   const std::string& folder)
    : budget_(std::min(std::max<uint64_t>(budget, 1), kLargestBudget)),
      folder_(folder),
      journal_(std::move(journal)),
      deflate_(std::make_unique<mtxCompressorZLIB15>()) {}

// The temporary journal lost its name when it was made; closing it frees its
// space.
mtxChangeHistory::~mtxChangeHistory() {
    DropPending();
}

uint64_t mtxChangeHistory::JournalBytes() const {
    uint64_t total = 0;
    for (const Record& record : records_) total += record.size;
    return total;
}

void mtxChangeHistory::Clear() {
    DropPending();
    snapshot_.reset();
    records_.clear();
    cursor_ = 0;
    fileEnd_ = 0;
    if (journal_ && journal_->GetLength() > 0 && !journal_->SetLength(0)) Disable();
}

void mtxChangeHistory::Disable() {
    DropPending();
    enabled_ = false;
    snapshot_.reset();
    records_.clear();
    cursor_ = 0;
    fileEnd_ = 0;
    journal_.reset();
}

int mtxChangeHistory::OpenJournal() {
    if (journal_) return 1;
    std::error_code error;
    std::string folder =
        folder_.empty() ? std::filesystem::temp_directory_path(error).string() : folder_;
    if (folder.empty()) return 0;
    std::random_device random;
    for (int attempt = 0; attempt < 8; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, "/daubry-history-%d-%08x%08x", mtxOs::ProcessId(),
                      random(), random());
        std::string path = folder + name;
        if (mtxOs::Exists(path)) continue;
        auto file = std::make_unique<mtxJournalFile>();
        if (!file->OpenTemporary(path)) return 0;
        journal_ = std::move(file);
        return 1;
    }
    return 0;
}

int mtxChangeHistory::WriteAt(uint64_t position, const void* bytes, size_t count) {
    if (count == 0) return 1;
    if (journal_->Seek(int64_t(position), 0) != int64_t(position)) return 0;
    return journal_->Write(bytes, uint32_t(count));
}

int mtxChangeHistory::ReadAt(uint64_t position, void* bytes, size_t count) {
    if (journal_->Seek(int64_t(position), 0) != int64_t(position)) return 0;
    auto* out = static_cast<uint8_t*>(bytes);
    while (count > 0) {
        uint32_t got = journal_->Read(out, uint32_t(count));
        if (got == 0) return 0;
        out += got;
        count -= got;
    }
    return 1;
}

// Writes the previous and next links of record index from its neighbours.
int mtxChangeHistory::WriteLinks(size_t index) {
    std::vector<uint8_t> links(8);
    Put32(links, 0, index > 0 ? records_[index - 1].position : kNoRecord);
    Put32(links, 4, index + 1 < records_.size() ? records_[index + 1].position : kNoRecord);
    return WriteAt(records_[index].position, links.data(), links.size());
}

void mtxChangeHistory::DropRedo() {
    if (cursor_ == records_.size()) return;
    records_.resize(cursor_);
    fileEnd_ = records_.empty() ? 0 : records_.back().position + uint64_t(records_.back().size);
    if (!records_.empty() && !WriteLinks(records_.size() - 1)) return Disable();
    if (!journal_->SetLength(int64_t(fileEnd_))) Disable();
}

// Moves the records kept to the front of the file. Records only move toward
// the front, so copying front to back never overwrites bytes still to be read.
int mtxChangeHistory::Compact() {
    std::vector<uint8_t> chunk;
    uint64_t to = 0;
    for (Record& record : records_) {
        if (record.position != to) {
            for (uint64_t done = 0; done < record.size;) {
                size_t n = size_t(std::min<uint64_t>(kCopyChunk, record.size - done));
                chunk.resize(n);
                if (!ReadAt(record.position + done, chunk.data(), n) ||
                    !WriteAt(to + done, chunk.data(), n))
                    return 0;
                done += n;
            }
            record.position = uint32_t(to);
        }
        to += record.size;
    }
    for (size_t i = 0; i < records_.size(); ++i)
        if (!WriteLinks(i)) return 0;
    fileEnd_ = to;
    return journal_->SetLength(int64_t(fileEnd_));
}

// Appends a finished record (header fields other than the links already set).
int mtxChangeHistory::Append(std::vector<uint8_t>& record, const std::string& name,
                             uint64_t serial) {
    // A record made later was in the making: whatever comes next comes after it.
    Settle();
    if (!enabled_) return 0;
    if (!OpenJournal()) {
        Disable();
        return 0;
    }
    DropRedo();
    if (!enabled_) return 0;
    if (record.size() > budget_) {
        // Too large to keep: the older records would no longer lead back to
        // the picture as it was, so none are kept.
        Clear();
        return enabled_ ? 1 : 0;
    }
    size_t dropped = 0;
    uint64_t kept = JournalBytes();
    while (dropped < records_.size() && kept + record.size() > budget_)
        kept -= records_[dropped++].size;
    if (dropped) {
        records_.erase(records_.begin(), records_.begin() + std::ptrdiff_t(dropped));
        cursor_ = records_.size();
        if (records_.empty()) {
            fileEnd_ = 0;
            if (!journal_->SetLength(0)) return Disable(), 0;
        } else if (!WriteLinks(0))
            return Disable(), 0;
    }
    if (fileEnd_ + record.size() > 2 * budget_ && !Compact()) return Disable(), 0;

    Put32(record, 0, records_.empty() ? kNoRecord : records_.back().position);
    Put32(record, 4, kNoRecord);
    Record entry;
    entry.position = uint32_t(fileEnd_);
    entry.size = uint32_t(record.size());
    entry.name = name;
    entry.serial = serial ? serial : ++serial_;
    if (!WriteAt(fileEnd_, record.data(), record.size())) return Disable(), 0;
    records_.push_back(entry);
    if (records_.size() > 1 && !WriteLinks(records_.size() - 2)) return Disable(), 0;
    cursor_ = records_.size();
    fileEnd_ += record.size();
    return 1;
}

namespace {

// A record's header and name; the links are filled in when it is appended.
std::vector<uint8_t> NewRecord(uint32_t restoreValue, uint8_t kind, const std::u16string& name) {
    std::vector<uint8_t> record(mtxChangeHistory::kHeaderSize + 2 * name.size(), 0);
    Put32(record, 8, restoreValue);
    record[12] = kind;
    record[13] = uint8_t(name.size());
    for (size_t i = 0; i < name.size(); ++i)
        Put16(record, mtxChangeHistory::kHeaderSize + 2 * i, name[i]);
    return record;
}

// Appends the deflated bytes to out; their count, or -1 on failure.
int64_t DeflateInto(mtxCompressor& deflate, const std::vector<uint8_t>& bytes,
                    std::vector<uint8_t>& out) {
    mtxFileMemory input, output(1 << 16);
    input.Attach(const_cast<uint8_t*>(bytes.data()), uint32_t(bytes.size()), 0);
    deflate.SetInput(&input);
    deflate.SetOutput(&output);
    deflate.BeginCompress();
    uint32_t status = deflate.Compress(1);
    deflate.EndCompress();
    deflate.SetInput(nullptr);
    deflate.SetOutput(nullptr);
    if (status != mtxCompressor::kOk) return -1;
    out.insert(out.end(), output.Data(), output.Data() + output.GetLength());
    return output.GetLength();
}

// Inflates exactly size bytes into out; 0 when the stream is damaged or its
// length differs.
int InflateExactly(mtxCompressor& deflate, const uint8_t* stream, uint32_t streamSize, uint8_t* out,
                   uint32_t size) {
    mtxFileMemory input, output;
    input.Attach(const_cast<uint8_t*>(stream), streamSize, 0);
    output.Attach(out, size, 0);
    deflate.SetInput(&input);
    deflate.SetOutput(&output);
    uint32_t status = deflate.Decompress();
    deflate.EndDecompress();
    deflate.SetInput(nullptr);
    deflate.SetOutput(nullptr);
    return status == mtxCompressor::kOk && output.GetPosition() == int64_t(size) ? 1 : 0;
}

// The pixels of area, row after row, from rows of the given pitch in pixels.
void GatherTile(const mtxColor* const* rows, const TileArea& area, std::vector<uint8_t>& out) {
    out.resize(size_t(area.width) * area.height * 4);
    for (int y = 0; y < area.height; ++y)
        std::memcpy(out.data() + size_t(y) * area.width * 4, rows[area.y + y] + area.x,
                    size_t(area.width) * 4);
}

bool TileDiffers(const mtxColor* const* oldRows, const mtxColor* const* newRows,
                 const TileArea& area) {
    for (int y = area.y; y < area.y + area.height; ++y)
        if (std::memcmp(oldRows[y] + area.x, newRows[y] + area.x, size_t(area.width) * 4) != 0)
            return true;
    return false;
}

// One changed tile, deflated as it was and as it is.
struct DeflatedTile {
    mtxChangeHistory::Tile tile;
    TileArea area;
    std::vector<uint8_t> before, after;
    bool ok = false;
};

// Deflates tiles[next...] one after another until none is left. Each tile's
// streams depend on its pixels only, so the work may be shared by threads.
void DeflateTiles(mtxCompressor& deflate, const mtxColor* const* oldRows,
                  const mtxColor* const* newRows, std::vector<DeflatedTile>& tiles,
                  std::atomic<size_t>& next) {
    std::vector<uint8_t> bytes;
    for (size_t i = next++; i < tiles.size(); i = next++) {
        DeflatedTile& tile = tiles[i];
        GatherTile(oldRows, tile.area, bytes);
        if (DeflateInto(deflate, bytes, tile.before) < 0) continue;
        GatherTile(newRows, tile.area, bytes);
        tile.ok = DeflateInto(deflate, bytes, tile.after) >= 0;
    }
}

// Deflating is most of the cost of recording a change, and it comes when the
// user stops the tool; the tiles are shared among the processor's cores.
// Memory running out in a helper comes back to the caller as bad_alloc.
void DeflateTilesInParallel(mtxCompressor& deflate, const mtxColor* const* oldRows,
                            const mtxColor* const* newRows, std::vector<DeflatedTile>& tiles) {
    constexpr size_t kTilesPerThread = 4;
    size_t helpers = std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), 8) - 1;
    helpers = std::min(helpers, tiles.size() / kTilesPerThread);
    std::atomic<size_t> next{0};
    std::atomic<bool> outOfMemory{false};
    std::vector<std::thread> threads;
    try {
        for (size_t i = 0; i < helpers; ++i)
            threads.emplace_back([&] {
                try {
                    mtxCompressorZLIB15 own;
                    DeflateTiles(own, oldRows, newRows, tiles, next);
                } catch (const std::bad_alloc&) {
                    outOfMemory = true;
                    next = tiles.size();
                }
            });
    } catch (const std::exception&) {
        // Fewer helpers (or none): this thread does the rest.
    }
    try {
        DeflateTiles(deflate, oldRows, newRows, tiles, next);
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
        next = tiles.size();
    }
    for (std::thread& thread : threads) thread.join();
    if (outOfMemory) throw std::bad_alloc();
}

}  // namespace

// A pixel record in the making: the tiles that differ, deflated as they were
// and as they are, on the history's thread or the caller's.
struct mtxChangeHistory::Pending {
    int layer = -1, width = 0, height = 0;
    std::u16string name;
    uint64_t serial = 0;  // reserved for it when made later; 0: the next one
    std::unique_ptr<Snapshot> before;
    std::shared_ptr<const mtxColor[]> after;  // a copy of the layer when made later
    std::vector<const mtxColor*> oldRows, newRows;
    std::vector<DeflatedTile> tiles;
    std::vector<uint8_t> record;
    bool deflated = false, outOfMemory = false;
    std::thread thread;

    void FindChangedTiles() {
        int columns = (width + kEdge - 1) / kEdge, rows = (height + kEdge - 1) / kEdge;
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < columns; ++column) {
                Tile tile{uint16_t(column), uint16_t(row)};
                TileArea area = AreaOf(tile, width, height);
                if (TileDiffers(oldRows.data(), newRows.data(), area))
                    tiles.push_back(DeflatedTile{tile, area, {}, {}, false});
            }
        }
    }
    // Memory running out costs the record (outOfMemory), never the caller.
    void Deflate(mtxCompressor& deflate) {
        try {
            DeflateTilesInParallel(deflate, oldRows.data(), newRows.data(), tiles);
            deflated =
                std::all_of(tiles.begin(), tiles.end(), [](const DeflatedTile& t) { return t.ok; });
            if (deflated) Assemble();
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
        // The copies are not needed any more.
        before.reset();
        after.reset();
        std::vector<DeflatedTile>().swap(tiles);
    }
    void Assemble() {
        record = NewRecord(uint32_t(layer), kKindPixels, name);
        size_t counts = record.size();
        record.resize(record.size() + kPixelsHeader);
        Put32(record, counts, uint32_t(width));
        Put32(record, counts + 4, uint32_t(height));
        for (const DeflatedTile& tile : tiles) {
            size_t at = record.size();
            record.resize(at + kTileHeader);
            Put16(record, at, tile.tile.column);
            Put16(record, at + 2, tile.tile.row);
            Put32(record, at + 4, uint32_t(tile.before.size()));
            Put32(record, at + 8, uint32_t(tile.after.size()));
            record.insert(record.end(), tile.before.begin(), tile.before.end());
            record.insert(record.end(), tile.after.begin(), tile.after.end());
        }
        Put32(record, counts + 8, uint32_t(tiles.size()));
    }
};

// Memory for the copy or a record may run out on a large picture; that costs
// the history, never the picture.
int mtxChangeHistory::BeginChange(mtxImageStack& stack, int layer, const std::string& name) {
    snapshot_.reset();
    if (!enabled_) return 0;
    try {
        return TakeSnapshot(stack, layer, name);
    } catch (const std::bad_alloc&) {
        snapshot_.reset();
        return 0;
    }
}

int mtxChangeHistory::EndChange(mtxImageStack& stack) {
    if (!snapshot_ || !enabled_) return 0;
    std::unique_ptr<Snapshot> before = std::move(snapshot_);
    // Records join the journal in the order they were made.
    Settle();
    if (!enabled_) return 0;
    try {
        return RecordDifferences(stack, std::move(before));
    } catch (const std::bad_alloc&) {
        Clear();
        return 0;
    }
}

int mtxChangeHistory::TakeSnapshot(mtxImageStack& stack, int layer, const std::string& name) {
    mtxImageStack::Layer* stackLayer = stack.GetLayer(layer);
    mtxImage* image = stackLayer ? stackLayer->source.get() : nullptr;
    if (!image) return 0;
    mtxFieldLock<mtxImage> lock(*image);
    if (!lock || !image->data) return 0;
    auto snapshot = std::make_unique<Snapshot>();
    snapshot->layer = layer;
    snapshot->width = image->width;
    snapshot->height = image->height;
    snapshot->name = name;
    snapshot->pixels = CopyStillShowing(*image, layer);
    if (!snapshot->pixels) snapshot->pixels = CopyOf(*image);
    snapshot_ = std::move(snapshot);
    return 1;
}

// A change begins where the last one ended (a run after the background it
// put in): the copy made for that record is this one's too.
std::shared_ptr<const mtxColor[]> mtxChangeHistory::CopyStillShowing(const mtxImage& image,
                                                                     int layer) const {
    std::shared_ptr<const mtxColor[]> copy = lastAfter_.pixels.lock();
    if (!copy || lastAfter_.layer != layer || lastAfter_.width != image.width ||
        lastAfter_.height != image.height)
        return nullptr;
    const size_t width = size_t(image.width);
    for (int y = 0; y < image.height; ++y)
        if (std::memcmp(copy.get() + size_t(y) * width, image.Row(y), width * sizeof(mtxColor)))
            return nullptr;
    return copy;
}

void mtxChangeHistory::CancelChange() {
    snapshot_.reset();
}

int mtxChangeHistory::RecordDifferences(mtxImageStack& stack, std::unique_ptr<Snapshot> before) {
    mtxImageStack::Layer* stackLayer = stack.GetLayer(before->layer);
    mtxImage* image = stackLayer ? stackLayer->source.get() : nullptr;
    if (!image || image->width != before->width || image->height != before->height) {
        // The layer is gone or was replaced: the records no longer describe it.
        Clear();
        return enabled_ ? 1 : 0;
    }
    mtxFieldLock<mtxImage> lock(*image);
    if (!lock || !image->data) {
        Clear();
        return enabled_ ? 1 : 0;
    }
    auto job = std::make_unique<Pending>();
    job->layer = before->layer;
    job->width = before->width, job->height = before->height;
    job->name = StoredName(before->name);
    // Made later, the record reads a copy: the layer goes on changing.
    if (recordLater_) {
        job->after = CopyOf(*image);
        lastAfter_ = LayerCopy{before->layer, before->width, before->height, job->after};
    }
    job->oldRows.resize(size_t(before->height));
    job->newRows.resize(size_t(before->height));
    for (int y = 0; y < before->height; ++y) {
        job->oldRows[size_t(y)] = before->pixels.get() + size_t(y) * before->width;
        job->newRows[size_t(y)] =
            recordLater_ ? job->after.get() + size_t(y) * before->width : image->Row(y);
    }
    job->FindChangedTiles();
    if (job->tiles.empty()) return 1;
    job->before = std::move(before);
    if (!recordLater_) {
        job->Deflate(*deflate_);
        return Finish(*job);
    }
    job->serial = ++serial_;
    Pending* made = job.get();
    try {
        job->thread = std::thread([made] {
            // The window goes on meanwhile and comes first, but the record
            // should be done by the time the next one is: the helpers this
            // thread starts share its priority.
            mtxOs::LowerThreadPriority(mtxOs::kYielding);
            mtxCompressorZLIB15 own;
            made->Deflate(own);
        });
    } catch (const std::system_error&) {
        job->Deflate(*deflate_);  // no thread to spare: made here
    }
    pending_ = std::move(job);
    return 1;
}

std::string mtxChangeHistory::UndoName() const {
    if (!CanUndo()) return std::string();
    return pending_ ? mtxUtf16ToUtf8(pending_->name) : records_[cursor_ - 1].name;
}

std::string mtxChangeHistory::RedoName() const {
    return CanRedo() ? records_[cursor_].name : std::string();
}

int mtxChangeHistory::Finish(Pending& job) {
    if (job.outOfMemory) {
        Clear();
        return 0;
    }
    if (!job.deflated) return Disable(), 0;
    return Append(job.record, mtxUtf16ToUtf8(job.name), job.serial);
}

int mtxChangeHistory::Settle() {
    if (!pending_) return 1;
    std::unique_ptr<Pending> job = std::move(pending_);
    if (job->thread.joinable()) job->thread.join();
    return Finish(*job);
}

void mtxChangeHistory::DropPending() {
    if (pending_ && pending_->thread.joinable()) pending_->thread.join();
    pending_.reset();
}

int mtxChangeHistory::RecordOpacity(int layer, uint8_t before, uint8_t after,
                                    const std::string& name) {
    if (!enabled_ || layer < 0) return 0;
    if (before == after) return 1;
    std::u16string stored = StoredName(name);
    std::vector<uint8_t> record = NewRecord(uint32_t(layer), kKindOpacity, stored);
    record.push_back(before);
    record.push_back(after);
    return Append(record, mtxUtf16ToUtf8(stored));
}

int mtxChangeHistory::RecordData(int layer, const std::vector<uint8_t>& data,
                                 const std::string& name) {
    if (!enabled_ || layer < 0) return 0;
    std::u16string stored = StoredName(name);
    try {
        std::vector<uint8_t> record = NewRecord(uint32_t(layer), kKindData, stored);
        record.insert(record.end(), data.begin(), data.end());
        return Append(record, mtxUtf16ToUtf8(stored));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int mtxChangeHistory::RecordTransform(int layer, const float before[9], const float after[9],
                                      const std::string& name) {
    if (!enabled_ || layer < 0) return 0;
    if (std::equal(before, before + 9, after)) return 1;
    std::u16string stored = StoredName(name);
    std::vector<uint8_t> record = NewRecord(uint32_t(layer), kKindTransform, stored);
    size_t at = record.size();
    record.resize(at + 2 * 9 * 4);
    for (const float* m : {before, after})
        for (int i = 0; i < 9; ++i, at += 4) {
            uint32_t bits;
            std::memcpy(&bits, &m[i], 4);
            Put32(record, at, bits);
        }
    return Append(record, mtxUtf16ToUtf8(stored));
}

int mtxChangeHistory::RecordLayer(mtxImageStack& stack, int layer, bool added,
                                  const std::string& name) {
    // An open change of a layer below stays valid: its index does not move.
    if (!enabled_ || (snapshot_ && snapshot_->layer >= layer)) return 0;
    mtxImageStack::Layer* stackLayer = stack.GetLayer(layer);
    mtxImage* image = stackLayer ? stackLayer->source.get() : nullptr;
    if (!image || image->width <= 0 || image->height <= 0) return 0;
    std::u16string stored = StoredName(name);
    try {
        std::vector<uint8_t> record =
            NewRecord(uint32_t(layer), added ? kKindLayerAdded : kKindLayerRemoved, stored);
        size_t at = record.size();
        record.resize(at + kLayerHeader, 0);
        Put32(record, at, uint32_t(image->width));
        Put32(record, at + 4, uint32_t(image->height));
        record[at + 8] = stackLayer->Opacity();
        for (int i = 0; i < 9; ++i) {
            uint32_t bits = 0;
            std::memcpy(&bits, &stackLayer->transform[i], 4);
            Put32(record, at + 12 + 4 * size_t(i), bits);
        }
        std::vector<uint8_t> pixels(size_t(image->width) * image->height * 4);
        {
            mtxFieldLock<mtxImage> lock(*image);
            if (!lock || !image->data) return 0;
            for (int y = 0; y < image->height; ++y)
                std::memcpy(pixels.data() + size_t(y) * image->width * 4, image->Row(y),
                            size_t(image->width) * 4);
        }
        int64_t streamSize = DeflateInto(*deflate_, pixels, record);
        if (streamSize < 0) return Disable(), 0;
        Put32(record, at + kLayerHeader - 4, uint32_t(streamSize));
        return Append(record, mtxUtf16ToUtf8(stored));
    } catch (const std::bad_alloc&) {
        // The change goes unrecorded: what came before no longer leads to it.
        Clear();
        return 0;
    }
}

int mtxChangeHistory::Undo(mtxImageStack& stack, mtxBaseThread* worker, Step* step) {
    return Walk(stack, worker, true, step);
}

int mtxChangeHistory::Redo(mtxImageStack& stack, mtxBaseThread* worker, Step* step) {
    return Walk(stack, worker, false, step);
}

int mtxChangeHistory::Walk(mtxImageStack& stack, mtxBaseThread* worker, bool backward, Step* step) {
    Settle();
    if (snapshot_ || !(backward ? CanUndo() : CanRedo())) return 0;
    // The worker may be reading the layers; it waits while they change.
    bool paused = worker && worker->SendRequest(kRequestPause) == mtxBaseThread::kSuccess;
    size_t index = backward ? cursor_ - 1 : cursor_;
    int applied;
    try {
        applied = Apply(stack, records_[index], backward, step);
    } catch (const std::bad_alloc&) {
        applied = -1;  // decoded before written: nothing changed
    }
    if (paused) worker->SendRequest(kRequestContinue);
    if (applied > 0) {
        if (step) step->serial = records_[index].serial;
        cursor_ = backward ? cursor_ - 1 : cursor_ + 1;
        return 1;
    }
    if (applied == 0)
        Disable();
    else
        Clear();
    return 0;
}

// 1 applied; 0 the journal could not be read or is damaged; -1 the record
// does not fit the picture. Nothing changes unless 1.
int mtxChangeHistory::Apply(mtxImageStack& stack, const Record& record, bool backward, Step* step) {
    std::vector<uint8_t> bytes(record.size);
    if (record.size < kHeaderSize || !ReadAt(record.position, bytes.data(), bytes.size())) return 0;
    size_t index = size_t(&record - records_.data());
    uint32_t previous = index > 0 ? records_[index - 1].position : kNoRecord;
    uint32_t next = index + 1 < records_.size() ? records_[index + 1].position : kNoRecord;
    if (Get32(&bytes[0]) != previous || Get32(&bytes[4]) != next) return 0;
    uint32_t restoreValue = Get32(&bytes[8]);
    uint8_t kind = bytes[12];
    size_t body = kHeaderSize + 2 * size_t(bytes[13]);
    if (body > bytes.size() || restoreValue > 0x7FFFFFFF) return 0;
    int layerIndex = int(restoreValue);
    if (kind == kKindPixels) return ApplyPixels(stack, bytes, body, layerIndex, backward, step);
    if (kind == kKindLayerAdded || kind == kKindLayerRemoved) {
        // Undoing an addition and redoing a removal take the layer away.
        bool insert = (kind == kKindLayerAdded) != backward;
        int applied = ApplyLayer(stack, bytes, body, layerIndex, insert);
        if (applied > 0 && step) {
            step->layer = layerIndex;
            step->kind = kind;
            step->tiles.clear();
            step->changed = mtxRect{0, 0, int(Get32(&bytes[body])), int(Get32(&bytes[body + 4]))};
        }
        return applied;
    }
    if (kind == kKindData) {
        if (step) {
            step->layer = layerIndex;
            step->kind = kKindData;
            step->tiles.clear();
            step->changed = mtxRect{};
            step->data.assign(bytes.begin() + std::ptrdiff_t(body), bytes.end());
        }
        return 1;
    }
    const size_t size = kind == kKindOpacity ? 2 : kind == kKindTransform ? 2 * 9 * 4 : 0;
    if (!size || bytes.size() - body != size) return 0;
    mtxImageStack::Layer* layer = stack.GetLayer(layerIndex);
    if (!layer) return -1;
    if (kind == kKindOpacity) {
        layer->SetOpacity(bytes[body + (backward ? 0 : 1)]);
    } else {
        const uint8_t* m = &bytes[body + (backward ? 0 : 9 * 4)];
        for (int i = 0; i < 9; ++i) {
            uint32_t bits = Get32(m + 4 * i);
            std::memcpy(&layer->transform[i], &bits, 4);
        }
    }
    if (step) {
        step->layer = layerIndex;
        step->kind = kind;
        step->tiles.clear();
        // A moved layer may show anywhere in the picture.
        step->changed = kind == kKindOpacity ? mtxRect{0, 0, layer->width, layer->height}
                                             : mtxRect{0, 0, stack.width, stack.height};
    }
    return 1;
}

int mtxChangeHistory::ApplyPixels(mtxImageStack& stack, const std::vector<uint8_t>& bytes,
                                  size_t at, int layerIndex, bool backward, Step* step) {
    if (bytes.size() - at < kPixelsHeader) return 0;
    uint32_t width = Get32(&bytes[at]), height = Get32(&bytes[at + 4]),
             count = Get32(&bytes[at + 8]);
    at += kPixelsHeader;
    mtxImageStack::Layer* layer = stack.GetLayer(layerIndex);
    mtxImage* image = layer ? layer->source.get() : nullptr;
    if (!image || uint32_t(image->width) != width || uint32_t(image->height) != height) return -1;

    // Everything is decoded before the first pixel is written, so a damaged
    // record leaves the picture as it was.
    struct Decoded {
        Tile tile;
        std::vector<uint8_t> pixels;
    };
    std::vector<Decoded> decoded;
    for (uint32_t i = 0; i < count; ++i) {
        if (bytes.size() - at < kTileHeader) return 0;
        Decoded tile;
        tile.tile.column = uint16_t(Get16(&bytes[at]));
        tile.tile.row = uint16_t(Get16(&bytes[at + 2]));
        uint64_t oldSize = Get32(&bytes[at + 4]), newSize = Get32(&bytes[at + 8]);
        at += kTileHeader;
        if (bytes.size() - at < oldSize + newSize) return 0;
        if (uint64_t(tile.tile.column) * kEdge >= width ||
            uint64_t(tile.tile.row) * kEdge >= height)
            return 0;
        TileArea area = AreaOf(tile.tile, int(width), int(height));
        tile.pixels.resize(size_t(area.width) * area.height * 4);
        const uint8_t* stream = &bytes[at] + (backward ? 0 : oldSize);
        uint32_t streamSize = uint32_t(backward ? oldSize : newSize);
        if (!InflateExactly(*deflate_, stream, streamSize, tile.pixels.data(),
                            uint32_t(tile.pixels.size())))
            return 0;
        at += oldSize + newSize;
        decoded.push_back(std::move(tile));
    }
    if (at != bytes.size()) return 0;

    mtxFieldLock<mtxImage> lock(*image);
    if (!lock || !image->data) return -1;
    const int step126 = mtxIEViewerLayer::kTileStep;
    const int viewerColumns = (int(width) + step126 - 1) / step126;
    const int viewerRows = (int(height) + step126 - 1) / step126;
    std::vector<uint8_t> marked(size_t(viewerColumns) * viewerRows, 0);
    if (step) {
        step->layer = layerIndex;
        step->kind = kKindPixels;
        step->tiles.clear();
        step->changed = mtxRect{};
    }
    for (const Decoded& tile : decoded) {
        TileArea area = AreaOf(tile.tile, int(width), int(height));
        for (int y = 0; y < area.height; ++y)
            std::memcpy(image->Row(area.y + y) + area.x,
                        tile.pixels.data() + size_t(y) * area.width * 4, size_t(area.width) * 4);
        if (step) {
            step->tiles.push_back(tile.tile);
            mtxRect& box = step->changed;
            mtxRect rect{area.x, area.y, area.x + area.width, area.y + area.height};
            box = box.IsEmpty()
                      ? rect
                      : mtxRect{std::min(box.left, rect.left), std::min(box.top, rect.top),
                                std::max(box.right, rect.right), std::max(box.bottom, rect.bottom)};
        }
        // A viewer tile shows its own pixels and a one-pixel border around them.
        int firstColumn = std::max(0, (area.x + step126 - 1) / step126 - 1);
        int lastColumn = std::min(viewerColumns - 1, (area.x + area.width) / step126);
        int firstRow = std::max(0, (area.y + step126 - 1) / step126 - 1);
        int lastRow = std::min(viewerRows - 1, (area.y + area.height) / step126);
        for (int row = firstRow; row <= lastRow; ++row)
            for (int column = firstColumn; column <= lastColumn; ++column) {
                uint8_t& seen = marked[size_t(row) * viewerColumns + column];
                if (seen) continue;
                seen = 1;
                layer->viewerData.push_back({column, row, 0});
            }
    }
    return 1;
}

int mtxChangeHistory::ApplyLayer(mtxImageStack& stack, const std::vector<uint8_t>& bytes, size_t at,
                                 int layerIndex, bool insert) {
    if (bytes.size() - at < kLayerHeader) return 0;
    uint32_t width = Get32(&bytes[at]), height = Get32(&bytes[at + 4]);
    uint32_t streamSize = Get32(&bytes[at + kLayerHeader - 4]);
    if (width == 0 || height == 0 || uint64_t(width) * height * 4 > 0xFFFFFFFFu ||
        bytes.size() - at - kLayerHeader != streamSize)
        return 0;
    if (!insert) {
        mtxImageStack::Layer* layer = stack.GetLayer(layerIndex);
        // The bottom layer holds the picture's size: it never goes.
        if (!layer || layerIndex < 1 || uint32_t(layer->width) != width ||
            uint32_t(layer->height) != height)
            return -1;
        return stack.RemoveLayer(layerIndex) ? 1 : -1;
    }
    mtxImageStack::Layer* bottom = stack.GetLayer(0);
    if (!bottom || !bottom->source || layerIndex > stack.LayerCount() || layerIndex < 1) return -1;
    std::unique_ptr<mtxImage> image = bottom->source->CreateSameKind(int(width), int(height));
    if (!image) return -1;
    std::vector<uint8_t> pixels(size_t(width) * height * 4);
    if (!InflateExactly(*deflate_, &bytes[at + kLayerHeader], streamSize, pixels.data(),
                        uint32_t(pixels.size())))
        return 0;
    {
        mtxFieldLock<mtxImage> lock(*image);
        if (!lock || !image->data) return -1;
        for (uint32_t y = 0; y < height; ++y)
            std::memcpy(image->Row(int(y)), pixels.data() + size_t(y) * width * 4,
                        size_t(width) * 4);
    }
    if (stack.AddLayer(layerIndex, std::move(image)) != layerIndex) return -1;
    mtxImageStack::Layer* layer = stack.GetLayer(layerIndex);
    layer->SetOpacity(bytes[at + 8]);
    for (int i = 0; i < 9; ++i) {
        uint32_t bits = Get32(&bytes[at + 12 + 4 * size_t(i)]);
        std::memcpy(&layer->transform[i], &bits, 4);
    }
    return 1;
}
