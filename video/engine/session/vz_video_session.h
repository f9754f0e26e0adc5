#pragma once
// The video conference's one connection to the media transport: a transport
// session of type 2 (video) through CVzTransportWrapper. It sends the
// signalling requests as AvData messages in command records, RTP and RTCP
// in their records, and turns what the transport reports into calls of
// IVZVideoSessionSink (received signalling parsed and dispatched by type).
//
// What the caller may assume:
// - JoinSession returns 1 when the transport started the join; the outcome
//   arrives later as OnSessionJoin (joined, with my SSRC) or OnSessionLeave
//   (refused or unreachable, with the transport's reason). It returns 0,
//   and nothing will arrive, for a null record, when the transport library
//   could not be loaded or created, or when the transport refused to start.
// - LeaveSession closes the transport session and then calls
//   OnSessionLeave(0, 0) at once, on the calling thread, every time. A
//   leave the transport confirms later may report OnSessionLeave again.
// - The destructor calls LeaveSession (so the sink hears OnSessionLeave(0,
//   0) during destruction) and then releases the transport; no sink call
//   follows once it returns.
// - Requests and sends return the transport's answer: non-zero when it
//   took the message, 0 when nothing was sent (no transport, not joined, a
//   packet over 65,535 bytes). Requests carry client_version 4.
// - Received commands whose record is not of kind 7, or whose message does
//   not parse ("protobuf parse error"), or whose type is not one the client
//   handles ("not support type=%d"), are logged and dropped.
//
// Threads: requests come from the owner's thread, RTP and RTCP sends from
// any thread; sink calls come on the transport's threads (and
// OnSessionLeave as said above). The session holds no lock: the roster id
// it sends is set by JoinSession, on the owner's thread.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "contracts/vz_transport_wrapper.h"
#include "video/engine/session/av_signalling.h"
#include "video/engine/session/vz_video_session_sink.h"

struct AVSessionConfig;
struct NetworkProxyEntry;

class IVZVideoSession {
 public:
  virtual ~IVZVideoSession() = default;
  // 1: see above. The record is read during the call (and copied by the
  // transport); the proxy may be null; the filter must outlive the session.
  virtual int32_t JoinSession(const AVSessionConfig* config, const NetworkProxyEntry* proxy,
                              IMediaTransportFilter* filter) = 0;
  // 2: always 1.
  virtual int32_t LeaveSession() = 0;
  // 3, 4: one packet each, copied before the call returns.
  virtual int32_t SendRtp(const uint8_t* data, uint32_t len) = 0;
  virtual int32_t SendRtcp(const uint8_t* data, uint32_t len) = 0;
  // 5: AV_START_VIDEO_REQUEST {my roster id, status 1, videotype}.
  virtual int32_t StartBroadcastRequest(int32_t sizeType) = 0;
  // 6: AV_STOP_VIDEO_REQUEST {my roster id, status 0}.
  virtual int32_t StopBroadcastRequest() = 0;
  // 7: AV_UPDATE_VIDEO_SIZE_REQUEST {my roster id, videotype}.
  virtual int32_t UpdateVideoSizeRequest(int32_t sizeType) = 0;
  // 8, 9: {my roster id, one roster {id, videotype} per entry}.
  virtual int32_t SubscribeVideoRequest(const VideoSubscribeList& list) = 0;
  virtual int32_t UnsubscribeVideoRequest(const VideoSubscribeList& list) = 0;
  // 10: AV_SET_SPOTLIGHT_REQUEST {roster_id = the given roster}.
  virtual int32_t SetSpotlightRequest(const std::string& rosterId) = 0;
  // 11: AV_UNSET_SPOTLIGHT_REQUEST.
  virtual int32_t UnsetSpotlightRequest() = 0;
};

class CVZVideoSession final : public IVZVideoSession, public IMediaTransportSink {
 public:
  using IMediaTransportSink::OnReceiveDataBinary;
  using IMediaTransportSink::OnReceiveDataUtf8;

  // Loads the transport library ("vzwire") and creates a video transport;
  // a failure is logged and leaves a session whose sends do nothing.
  explicit CVZVideoSession(IVZVideoSessionSink* sink);
  // The same with the library found through `loader` (tests).
  CVZVideoSession(IVZVideoSessionSink* sink, const TransportLibraryLoader& loader);
  ~CVZVideoSession() override;
  CVZVideoSession(const CVZVideoSession&) = delete;
  CVZVideoSession& operator=(const CVZVideoSession&) = delete;

  bool HasTransport() const { return transport_.HasTransport(); }
  const std::string& RosterId() const { return m_rosterid; }

  int32_t JoinSession(const AVSessionConfig* config, const NetworkProxyEntry* proxy,
                      IMediaTransportFilter* filter) override;
  int32_t LeaveSession() override;
  int32_t SendRtp(const uint8_t* data, uint32_t len) override;
  int32_t SendRtcp(const uint8_t* data, uint32_t len) override;
  int32_t StartBroadcastRequest(int32_t sizeType) override;
  int32_t StopBroadcastRequest() override;
  int32_t UpdateVideoSizeRequest(int32_t sizeType) override;
  int32_t SubscribeVideoRequest(const VideoSubscribeList& list) override;
  int32_t UnsubscribeVideoRequest(const VideoSubscribeList& list) override;
  int32_t SetSpotlightRequest(const std::string& rosterId) override;
  int32_t UnsetSpotlightRequest() override;

  // IMediaTransportSink (transport threads).
  void OnJoinSessionConfirm(uint32_t ssrc) override;
  void OnLeaveSessionConfirm(int32_t reason, int32_t arg) override;
  void OnSessionReconnecting(int32_t reason, int32_t arg) override;
  void OnReceiveCommandData(CByteStream* stream) override;
  void OnReceiveRtpData(CByteStream* stream) override;
  void OnReceiveRtcpData(CByteStream* stream) override;

 private:
  // Sends serialized signalling bytes as one command record.
  int32_t SendCommandBytes(const std::string& message);

  IVZVideoSessionSink* const sink_;
  CVzTransportWrapper transport_;
  std::string m_rosterid;
};

// The session for `sink`, or null when it could not be made (logged).
std::unique_ptr<IVZVideoSession> CreateVZVideoSession(IVZVideoSessionSink* sink);
