#pragma once
// The media transport's interfaces (the outside library "vzwire"): a session
// joins the meeting's media servers through an IMediaTransport, and hears
// back through the IMediaTransportSink it created the transport with and
// the IMediaTransportFilter it joined with.
//
// Binding: ordinal 1 VzCreateTransport(sink, session type) returns a
// transport or null; ordinal 2 VzReleaseTransport(transport) releases it
// (after which no sink or filter call is made). The sink and the filter must
// outlive the transport.
//
// Threads: the transport's operations may be called from any thread; the
// sink and the filter are called on the transport's own threads, never
// inside a call the session made to the transport. A stream handed to a sink
// holds one transport record and is valid during the call only.
#include <cstdint>
#include <string>

#include "contracts/transport_session_types.h"

class CByteStream;
struct NetworkProxyEntry;

// IMediaTransportFilter::QueryValue kinds.
constexpr uint8_t kTransportQueryMaxSendBandwidth = 0;
constexpr uint8_t kTransportQueryMinSendBandwidth = 1;

class IMediaTransportFilter {
 public:
  // 0: sets *out and returns 0 to let the transport go on unchanged.
  virtual int32_t Filter(int32_t a, int32_t b, int32_t* out, int32_t d) = 0;
  // 1: the periodic network measurement: state, bandwidth (bits/s), jitter
  // (ms), loss rate (0..1), round trip (ms), total bandwidth (bits/s).
  virtual void OnAdjustment(uint8_t state, int32_t bandwidth, int32_t jitter, float lossrate,
                            int32_t rtt, int32_t totalbw) = 0;
  // 2: writes a value of the session's (see the query kinds) and returns
  // non-zero, or returns 0 without writing when it has none.
  virtual int32_t QueryValue(uint8_t kind, int32_t* out) = 0;
  // 3: a notification flag from the transport; the result is not used.
  virtual int32_t NotifyFlag(int32_t flag) = 0;
  // 4: the session type given to VzCreateTransport.
  virtual uint8_t GetSessionType() = 0;
  // 5.
  virtual ~IMediaTransportFilter() = default;
};

// Every operation has an empty default, so a session overrides only what it
// uses. The transport calls the raw forms of received data (slots 7 and 9);
// the string forms are there for sessions that forward to them. A class that
// overrides one form of a name says `using IMediaTransportSink::<name>;` so
// the other form stays visible.
class IMediaTransportSink {
 public:
  // 0: joined (again, after a reconnection). For a video session the value
  // is the SSRC the server assigned to me; 0 for sharing.
  virtual void OnJoinSessionConfirm(uint32_t /*value*/) {}
  // 1: the session ended; reason and arg are reported upward as an error
  // code and its code type. Nothing more arrives until a new Join.
  virtual void OnLeaveSessionConfirm(int32_t /*reason*/, int32_t /*arg*/) {}
  // 2: the connection was lost; the transport is reconnecting and calls
  // OnJoinSessionConfirm again when it has joined anew.
  virtual void OnSessionReconnecting(int32_t /*reason*/, int32_t /*arg*/) {}
  // 3.
  virtual void OnReserved3() {}
  // 4-6: one command, RTP or RTCP record each.
  virtual void OnReceiveCommandData(CByteStream* /*stream*/) {}
  virtual void OnReceiveRtpData(CByteStream* /*stream*/) {}
  virtual void OnReceiveRtcpData(CByteStream* /*stream*/) {}
  // 7-10: one payload another member sent, whole.
  virtual void OnReceiveDataUtf8(const char* /*data*/, uint32_t /*size*/) {}
  virtual void OnReceiveDataUtf8(const std::string& /*text*/) {}
  virtual void OnReceiveDataBinary(const uint8_t* /*data*/, uint32_t /*size*/) {}
  virtual void OnReceiveDataBinary(const std::string& /*bytes*/) {}
  // 11: bytes queued for sending and not yet handed to the network.
  virtual void OnSendBacklog(uint32_t /*value*/) {}
  // 12-17.
  virtual void OnReserved12() {}
  virtual void OnReserved13() {}
  virtual void OnReserved14() {}
  virtual void OnReserved15() {}
  virtual void OnReserved16() {}
  virtual void OnReserved17() {}

 protected:
  ~IMediaTransportSink() = default;
};

// The sending side of a session. Every operation returns 0 when nothing was
// done (not joined, refused, a payload too large) and non-zero otherwise.
class IMediaTransport {
 public:
  // 0: the session type it was created with.
  virtual uint8_t GetSessionType() = 0;
  // 1: starts joining with the session's record (a DSSessionConfig for
  // sharing, an AVSessionConfig for video, read during the call only), the
  // proxy entry (null or zero-filled for none) and the filter. Non-zero:
  // the join started; the result arrives as OnJoinSessionConfirm or
  // OnLeaveSessionConfirm. 0 when already joined or the record is unusable.
  virtual uint8_t Join(const void* session_config, const NetworkProxyEntry* proxy,
                       IMediaTransportFilter* filter) = 0;
  // 2: closes the session; no sink call follows once it returns.
  virtual int32_t Leave() = 0;
  // 3-5: one record each (read from the stream's read position during the
  // call; the stream is not changed).
  virtual int32_t SendCommandData(const CByteStream* stream) = 0;
  virtual int32_t SendRtpData(const CByteStream* stream) = 0;
  virtual int32_t SendRtcpData(const CByteStream* stream) = 0;
  // 6: one text payload to the other members.
  virtual int32_t SendDataUtf8(const char* data, uint32_t size) = 0;
  // 7: bytes queued for sending and not yet handed to the network.
  virtual int32_t GetSendBacklog() = 0;
  // 8: one binary payload to the other members.
  virtual int32_t SendDataBinary(const uint8_t* data, uint32_t size) = 0;
  // 9: the number of members in the session, myself included, when my
  // join was confirmed (0 when not joined).
  virtual int32_t GetMemberCount() = 0;
  // 10: sets a transport option (see the transport's own options).
  virtual int32_t SetOption(int32_t option, int32_t value) = 0;
  // 11: reads a transport option into *value.
  virtual int32_t GetOption(int32_t option, int32_t* value) = 0;
  // 12: video: starts (subscribe non-zero) or stops receiving the RTP of a
  // member's SSRC. Every member's media is received until the first call.
  virtual int32_t Subscribe(uint32_t ssrc, int32_t subscribe) = 0;
  // 13: caps the send bandwidth (bits/s; 0 for none).
  virtual int32_t SetMaxSendBandwidth(int32_t bits_per_second) = 0;

 protected:
  ~IMediaTransport() = default;
};

// The library's exports, resolved by ordinal.
using VzCreateTransportFn = IMediaTransport* (*)(IMediaTransportSink* sink, uint8_t session_type);
using VzReleaseTransportFn = void (*)(IMediaTransport* transport);
