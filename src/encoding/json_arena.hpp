// Where the values of a document read from text live.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

namespace corvane::encoding {

// A bump allocator over a few large chunks, so that reading a document costs a
// handful of allocations rather than one per string, array and object, and
// freeing it costs one per chunk rather than a walk over every value. The
// document's root value takes the chunks over (allocate_root) and frees them
// when it goes; the values inside hold their blocks without owning them.
class JsonArena {
 public:
  // `text_size` sizes the first chunk, so that a small document needs one.
  explicit JsonArena(std::size_t text_size)
      : next_chunk_size_(std::clamp(text_size * 2, kSmallestChunk, kLargestChunk)) {}
  JsonArena(const JsonArena&) = delete;
  JsonArena& operator=(const JsonArena&) = delete;
  ~JsonArena() { release_chunks(newest_); }

  // Uninitialised room for `size` bytes, aligned to 8.
  void* allocate(std::size_t size) {
    size = (size + 7) & ~std::size_t{7};
    if (static_cast<std::size_t>(end_ - next_) < size) return allocate_in_new_chunk(size);
    void* block = next_;
    next_ += size;
    return block;
  }

  // The block of the root value: the last allocation, preceded by the list of
  // chunks, which passes to the root. The arena is empty afterwards.
  void* allocate_root(std::size_t size) {
    char* block = static_cast<char*>(allocate(kRootHeaderSize + size));
    std::memcpy(block, &newest_, sizeof newest_);
    newest_ = nullptr;
    next_ = end_ = nullptr;
    return block + kRootHeaderSize;
  }

  // Frees the chunks behind a block that allocate_root gave.
  static void release_root(const void* root_block) noexcept {
    Chunk* newest;
    std::memcpy(&newest, static_cast<const char*>(root_block) - kRootHeaderSize, sizeof newest);
    release_chunks(newest);
  }

 private:
  struct Chunk {
    Chunk* older;
  };
  static constexpr std::size_t kChunkHeaderSize = 8;  // keeps the blocks after it aligned to 8
  static constexpr std::size_t kRootHeaderSize = 8;
  static_assert(sizeof(Chunk) <= kChunkHeaderSize && sizeof(Chunk*) <= kRootHeaderSize);
  static constexpr std::size_t kSmallestChunk = 512;
  // Chunks grow to this size; a block of more than a quarter of it gets a
  // chunk of its own, so that little room is ever left unused.
  static constexpr std::size_t kLargestChunk = std::size_t{1} << 20;

  void* allocate_in_new_chunk(std::size_t size) {
    if (size > kLargestChunk / 4) {
      // Linked behind the newest chunk, so that the newest keeps its room.
      Chunk* chunk = new_chunk(size);
      if (newest_ == nullptr) {
        newest_ = chunk;
      } else {
        chunk->older = newest_->older;
        newest_->older = chunk;
      }
      return reinterpret_cast<char*>(chunk) + kChunkHeaderSize;
    }
    while (next_chunk_size_ < kChunkHeaderSize + size) next_chunk_size_ *= 2;
    Chunk* chunk = new_chunk(next_chunk_size_ - kChunkHeaderSize);
    chunk->older = newest_;
    newest_ = chunk;
    next_ = reinterpret_cast<char*>(chunk) + kChunkHeaderSize + size;
    end_ = reinterpret_cast<char*>(chunk) + next_chunk_size_;
    next_chunk_size_ = std::min(next_chunk_size_ * 2, kLargestChunk);
    return reinterpret_cast<char*>(chunk) + kChunkHeaderSize;
  }

  static Chunk* new_chunk(std::size_t room) {
    Chunk* chunk = static_cast<Chunk*>(::operator new(kChunkHeaderSize + room));
    chunk->older = nullptr;
    return chunk;
  }

  static void release_chunks(Chunk* newest) noexcept {
    while (newest != nullptr) {
      Chunk* older = newest->older;
      ::operator delete(newest);
      newest = older;
    }
  }

  Chunk* newest_ = nullptr;
  char* next_ = nullptr;
  char* end_ = nullptr;
  std::size_t next_chunk_size_;
};

}  // namespace corvane::encoding
