#pragma once
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

// A private heap: memory its owner carves in pieces and gives back all at
// once when the heap goes. The first block has the initial size; the heap
// grows without limit, each new block at least twice the last.
class mtxPrivateHeap {
  public:
    explicit mtxPrivateHeap(size_t initialSize = 4096)
        : nextBlock_(initialSize ? initialSize : 4096) {}
    ~mtxPrivateHeap() {
        for (void* block : blocks_) ::operator delete(block);
    }
    mtxPrivateHeap(const mtxPrivateHeap&) = delete;
    mtxPrivateHeap& operator=(const mtxPrivateHeap&) = delete;

    // size bytes aligned for any object; throws std::bad_alloc when memory is out.
    void* Allocate(size_t size) {
        constexpr size_t kAlign = alignof(std::max_align_t);
        size = (size + kAlign - 1) / kAlign * kAlign;
        if (size > left_) {
            size_t blockSize = nextBlock_ > size ? nextBlock_ : size;
            blocks_.reserve(blocks_.size() + 1);
            auto* block = static_cast<unsigned char*>(::operator new(blockSize));
            blocks_.push_back(block);
            next_ = block;
            left_ = blockSize;
            nextBlock_ = blockSize * 2;
        }
        void* piece = next_;
        next_ += size;
        left_ -= size;
        return piece;
    }
    // Blocks taken from the system so far.
    size_t BlockCount() const { return blocks_.size(); }

  private:
    std::vector<void*> blocks_;
    unsigned char* next_ = nullptr;
    size_t left_ = 0;
    size_t nextBlock_;
};

// Fixed-size nodes for records kept in large numbers (list items, menu
// items): carved from the heap NodesPerBlock at a time, and kept on a free
// list when given back, so adding and removing records allocates rarely.
template <size_t NodeSize, size_t NodesPerBlock>
class mtxNodePool {
    static_assert(NodeSize >= sizeof(void*), "a free node holds the next free one");
    static_assert(NodesPerBlock > 0);

  public:
    explicit mtxNodePool(mtxPrivateHeap& heap) : heap_(heap) {}
    mtxNodePool(const mtxNodePool&) = delete;
    mtxNodePool& operator=(const mtxNodePool&) = delete;

    // A node of NodeSize bytes, aligned like the heap's blocks allow for the
    // size; throws std::bad_alloc when memory is out.
    void* Take() {
        if (!free_) AddBlock();
        Free* node = free_;
        free_ = node->next;
        ++inUse_;
        return node;
    }
    // Gives a node back (null is ignored).
    void Give(void* node) {
        if (!node) return;
        auto* f = static_cast<Free*>(node);
        f->next = free_;
        free_ = f;
        --inUse_;
    }
    size_t InUse() const { return inUse_; }
    size_t BlockCount() const { return blocks_; }

  private:
    struct Free {
        Free* next;
    };
    // Nodes stay aligned for pointers and doubles whatever NodeSize is.
    static constexpr size_t kStride = (NodeSize + alignof(std::max_align_t) - 1) /
                                      alignof(std::max_align_t) * alignof(std::max_align_t);

    void AddBlock() {
        ++blocks_;
        auto* block = static_cast<unsigned char*>(heap_.Allocate(kStride * NodesPerBlock));
        for (size_t i = NodesPerBlock; i-- > 0;) {
            auto* node = reinterpret_cast<Free*>(block + i * kStride);
            node->next = free_;
            free_ = node;
        }
    }

    mtxPrivateHeap& heap_;
    Free* free_ = nullptr;
    size_t inUse_ = 0;
    size_t blocks_ = 0;
};
