// Bytes that hold secret material (seeds): wiped before their memory is freed,
// also when the buffer grows.
#pragma once

#include <sodium.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <utility>

namespace corvane {

class SecretBytes {
 public:
  SecretBytes() = default;
  SecretBytes(const SecretBytes&) = delete;
  SecretBytes& operator=(const SecretBytes&) = delete;
  SecretBytes(SecretBytes&& other) noexcept
      : data_(std::move(other.data_)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  SecretBytes& operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
      wipe();
      data_ = std::move(other.data_);
      size_ = std::exchange(other.size_, 0);
      capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
  }
  ~SecretBytes() { wipe(); }

  void reserve(std::size_t capacity) {
    if (capacity > capacity_) regrow(capacity);
  }
  void push_back(std::uint8_t byte) {
    if (size_ == capacity_) regrow(capacity_ < 16 ? 32 : capacity_ * 2);
    data_[size_++] = byte;
  }
  void assign(std::span<const std::uint8_t> bytes) {
    size_ = 0;
    reserve(bytes.size());
    if (!bytes.empty()) std::memcpy(data_.get(), bytes.data(), bytes.size());
    size_ = bytes.size();
  }

  std::size_t size() const { return size_; }
  std::span<const std::uint8_t> view() const { return {data_.get(), size_}; }

  // Overwrites every byte the buffer ever held; the value is empty afterwards.
  void wipe() {
    if (data_) sodium_memzero(data_.get(), capacity_);
    size_ = 0;
  }

  // Whether the value is empty and every byte of its buffer, spare capacity
  // included, is zero; lets tests observe wipe().
  bool is_wiped() const { return size_ == 0 && (!data_ || sodium_is_zero(data_.get(), capacity_) == 1); }

 private:
  void regrow(std::size_t capacity) {
    auto grown = std::make_unique<std::uint8_t[]>(capacity);
    if (size_ != 0) std::memcpy(grown.get(), data_.get(), size_);
    if (data_) sodium_memzero(data_.get(), capacity_);
    data_ = std::move(grown);
    capacity_ = capacity;
  }

  std::unique_ptr<std::uint8_t[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace corvane
