#include "weblink/pipe/pipe_stream_channel.h"

#include <cerrno>
#include <utility>

#include "common/scoped_lock.h"

PipeStreamChannel::PipeStreamChannel(CriticalSectionLock& lock, size_t read_chunk_bytes)
    : lock_(lock), read_chunk_bytes_(read_chunk_bytes > 0 ? read_chunk_bytes : kReadChunkBytes), cutter_(std::make_unique<PipeFrameCutter>()) {}

bool PipeStreamChannel::CreateWaker(int* error) {
  waker_ = std::make_unique<vz::LocalSocketWaker>();
  if (error != nullptr) *error = waker_->Error();
  return waker_->IsValid();
}

void PipeStreamChannel::Queue(std::string frame) {
  CScopedLock lock(lock_);
  const bool was_empty = send_queue_.empty();
  send_queue_.push_back(std::move(frame));
  // The loop looks at the queue before each wait; only the first frame of a
  // batch needs to cut a wait short.
  if (was_empty && waker_) waker_->Signal();
}

size_t PipeStreamChannel::WriteOrQueue(std::string frame) {
  CScopedLock lock(lock_);
  size_t written = 0;
  if (send_queue_.empty()) {
    while (written < frame.size()) {
      const vz::IoResult result = socket_.Write(frame.data() + written, frame.size() - written);
      if (result.status != vz::IoStatus::kOk) break;
      written += result.bytes;
    }
    if (written == frame.size()) {
      if (spares_.size() < kMaxSpares && frame.capacity() <= kMaxSpareBytes) spares_.push_back(std::move(frame));
      return written;
    }
  }
  const bool was_empty = send_queue_.empty();
  send_queue_.push_back(std::move(frame));
  if (was_empty) {
    write_offset_ = written;
    if (waker_) waker_->Signal();
  }
  return written;
}

std::string PipeStreamChannel::TakeSpare() {
  CScopedLock lock(lock_);
  if (spares_.empty()) return std::string();
  std::string spare = std::move(spares_.back());
  spares_.pop_back();
  spare.clear();
  return spare;
}

void PipeStreamChannel::ClearQueue() {
  CScopedLock lock(lock_);
  send_queue_.clear();
  spares_.clear();
  write_offset_ = 0;
}

void PipeStreamChannel::Reset() {
  ClearQueue();
  cutter_ = std::make_unique<PipeFrameCutter>();
  if (payload_placement_) cutter_->SetPayloadPlacement(payload_placement_);
}

PipeLinkEnd PipeStreamChannel::Run(const std::atomic<bool>& stop, Delegate& delegate) {
  PipeLinkEnd end;
  while (!stop) {
    bool want_write;
    {
      CScopedLock lock(lock_);
      want_write = !send_queue_.empty();
    }
    vz::PollItem items[2];
    items[0].fd = socket_.Fd();
    items[0].wanted = vz::kPollReadable | (want_write ? vz::kPollWritable : 0u);
    items[1].fd = waker_->Fd();
    items[1].wanted = vz::kPollReadable;
    if (vz::PollDescriptors(items, 2, kPollTimeoutMs, &end.error) < 0) {
      // A poll that fails on two valid descriptors fails again at once;
      // going round would only spin.
      end.reason = PipeLinkEnd::Reason::kWaitFailed;
      return end;
    }
    if (items[1].ready) waker_->Drain();
    if (stop) break;
    if ((items[0].ready & (vz::kPollReadable | vz::kPollHangup | vz::kPollError)) && !ReadSome(delegate, &end)) {
      return end;
    }
    if (stop) break;
    if (!WriteSome(delegate, &end)) return end;
  }
  return PipeLinkEnd{};
}

bool PipeStreamChannel::ReadSome(Delegate& delegate, PipeLinkEnd* end) {
  // Reads go on while they fill their chunk (more is waiting), up to a cap,
  // so a large frame is taken in one wake-up, not one wait a chunk.
  for (size_t taken = 0; taken < kMaxReadBytesPerRound;) {
    // A large frame is read up to its end, so the next one is placed afresh.
    const size_t remainder = cutter_->LargeFrameRemainder();
    const size_t wanted = remainder > 0 && remainder < read_chunk_bytes_ ? remainder : read_chunk_bytes_;
    char* room = cutter_->PrepareAppend(wanted);
    const vz::IoResult result = socket_.Read(room, wanted);
    switch (result.status) {
      case vz::IoStatus::kOk:
        cutter_->CommitAppend(result.bytes);
        if (!CutFrames(delegate, end)) return false;
        if (result.bytes < wanted) return true;
        taken += result.bytes;
        continue;
      case vz::IoStatus::kWouldBlock:
        return true;
      case vz::IoStatus::kEndOfStream:
        // The peer closed its end: a broken pipe.
        end->reason = PipeLinkEnd::Reason::kPeerClosed;
        end->error = EPIPE;
        return false;
      case vz::IoStatus::kError:
        break;
    }
    end->reason = PipeLinkEnd::Reason::kReadFailed;
    end->error = result.error;
    return false;
  }
  return true;
}

bool PipeStreamChannel::CutFrames(Delegate& delegate, PipeLinkEnd* end) {
  PipeFrameView frame;
  for (;;) {
    switch (cutter_->Next(&frame)) {
      case PipeFrameCutter::Result::kNeedMore:
        return true;
      case PipeFrameCutter::Result::kOversized:
        end->reason = PipeLinkEnd::Reason::kOversized;
        end->rejected = cutter_->RejectedHeader();
        return false;
      case PipeFrameCutter::Result::kFrame:
        delegate.OnFrame(frame);
        break;
    }
  }
}

bool PipeStreamChannel::WriteSome(Delegate& delegate, PipeLinkEnd* end) {
  CScopedLock lock(lock_);
  size_t written = 0;
  while (!send_queue_.empty() && written < kMaxWriteBytesPerRound) {
    const std::string& frame = send_queue_.front();
    const vz::IoResult result = socket_.Write(frame.data() + write_offset_, frame.size() - write_offset_);
    if (result.status == vz::IoStatus::kWouldBlock) return true;
    if (result.status != vz::IoStatus::kOk) {
      end->reason = PipeLinkEnd::Reason::kWriteFailed;
      end->error = result.error;
      return false;
    }
    delegate.OnWritten(result.bytes);
    // A short write is normal on a socket: the rest goes out next.
    write_offset_ += result.bytes;
    written += result.bytes;
    if (write_offset_ == frame.size()) {
      if (spares_.size() < kMaxSpares && frame.capacity() <= kMaxSpareBytes) spares_.push_back(std::move(send_queue_.front()));
      send_queue_.pop_front();
      write_offset_ = 0;
    }
  }
  return true;
}

void PipeStreamChannel::SetPayloadPlacement(std::function<size_t(uint32_t kind)> line_offset) {
  payload_placement_ = std::move(line_offset);
  cutter_->SetPayloadPlacement(payload_placement_);
}
