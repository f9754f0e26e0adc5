#include "common/byte_stream.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "common/trace_client.h"

namespace {

uint16_t Swap16(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }
uint32_t Swap32(uint32_t v) { return __builtin_bswap32(v); }
constexpr bool kLittleEndian = std::endian::native == std::endian::little;

}  // namespace

CByteStream::CByteStream(const uint8_t* initial, uint32_t length, bool host_order)
    : host_order_(host_order) {
  if (length == 0) return;
  data_ = static_cast<uint8_t*>(std::malloc(length));
  if (data_ == nullptr) {
    VZ_LOG_ERROR("no memory for a stream of %u bytes", length);
    return;
  }
  capacity_ = length;
  if (initial != nullptr) {
    std::memcpy(data_, initial, length);
    write_pos_ = length;
  }
}

CByteStream CByteStream::Borrow(const uint8_t* bytes, uint32_t length, bool host_order) {
  CByteStream stream;
  stream.data_ = const_cast<uint8_t*>(bytes);  // only read while not owned
  stream.capacity_ = length;
  stream.write_pos_ = length;
  stream.host_order_ = host_order;
  stream.not_owned_ = true;
  return stream;
}

CByteStream::~CByteStream() { Reset(); }

CByteStream::CByteStream(CByteStream&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      read_pos_(std::exchange(other.read_pos_, 0)),
      write_pos_(std::exchange(other.write_pos_, 0)),
      host_order_(other.host_order_),
      not_owned_(std::exchange(other.not_owned_, false)) {}

CByteStream& CByteStream::operator=(CByteStream&& other) noexcept {
  if (this != &other) {
    Reset();
    data_ = std::exchange(other.data_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
    read_pos_ = std::exchange(other.read_pos_, 0);
    write_pos_ = std::exchange(other.write_pos_, 0);
    host_order_ = other.host_order_;
    not_owned_ = std::exchange(other.not_owned_, false);
  }
  return *this;
}

void CByteStream::Reset() {
  if (!not_owned_) std::free(data_);
  data_ = nullptr;
  capacity_ = read_pos_ = write_pos_ = 0;
  not_owned_ = false;
}

void CByteStream::RewindTo(uint32_t read_position) {
  if (read_position <= write_pos_) read_pos_ = read_position;
}

bool CByteStream::Skip(uint32_t n) {
  if (GetDataLength() < n) return false;
  read_pos_ += n;
  return true;
}

bool CByteStream::Read(void* dst, uint32_t n) {
  if (GetDataLength() < n || (dst == nullptr && n != 0)) return false;
  if (n != 0) std::memcpy(dst, data_ + read_pos_, n);
  read_pos_ += n;
  return true;
}

bool CByteStream::ReadUInt8(uint8_t* value) { return value != nullptr && Read(value, 1); }

bool CByteStream::ReadUInt16(uint16_t* value) {
  uint16_t raw;
  if (value == nullptr || !Read(&raw, 2)) return false;
  *value = (host_order_ || !kLittleEndian) ? raw : Swap16(raw);
  return true;
}

bool CByteStream::ReadUInt32(uint32_t* value) {
  uint32_t raw;
  if (value == nullptr || !Read(&raw, 4)) return false;
  *value = (host_order_ || !kLittleEndian) ? raw : Swap32(raw);
  return true;
}

uint8_t* CByteStream::Reserve(uint32_t n) {
  const uint32_t unread = GetDataLength();
  if (n > std::numeric_limits<uint32_t>::max() - unread) {
    VZ_LOG_ERROR("a stream cannot hold %u more bytes beside %u", n, unread);
    return nullptr;
  }
  const uint32_t request = n + unread;
  if (not_owned_ || capacity_ - read_pos_ < request) {
    if (capacity_ < request || not_owned_) {
      // Grow by half at least, so a run of small writes stays linear.
      const uint64_t grown = static_cast<uint64_t>(capacity_) * 3 / 2;
      const uint32_t new_capacity =
          grown > request ? static_cast<uint32_t>(std::min<uint64_t>(grown, UINT32_MAX)) : request;
      auto* fresh = static_cast<uint8_t*>(std::malloc(new_capacity == 0 ? 1 : new_capacity));
      if (fresh == nullptr) {
        VZ_LOG_ERROR("no memory to grow a stream to %u bytes", new_capacity);
        return nullptr;
      }
      if (unread != 0) std::memcpy(fresh, data_ + read_pos_, unread);
      if (!not_owned_) std::free(data_);
      data_ = fresh;
      capacity_ = new_capacity;
      not_owned_ = false;
    } else if (unread != 0) {
      std::memmove(data_, data_ + read_pos_, unread);
    }
    read_pos_ = 0;
    write_pos_ = unread;
  }
  uint8_t* at = data_ + write_pos_;
  write_pos_ += n;
  return at;
}

bool CByteStream::Write(const void* src, uint32_t n) {
  if (n == 0) return true;
  if (src == nullptr) return false;
  uint8_t* at = Reserve(n);
  if (at == nullptr) return false;
  std::memcpy(at, src, n);
  return true;
}

bool CByteStream::WriteUInt8(uint8_t value) { return Write(&value, 1); }

bool CByteStream::WriteUInt16(uint16_t value) {
  const uint16_t raw = (host_order_ || !kLittleEndian) ? value : Swap16(value);
  return Write(&raw, 2);
}

bool CByteStream::WriteUInt32(uint32_t value) {
  const uint32_t raw = (host_order_ || !kLittleEndian) ? value : Swap32(value);
  return Write(&raw, 4);
}
