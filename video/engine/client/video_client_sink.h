#pragma once
// The conference client's callbacks to its controller. They come on engine,
// timer and transport threads; the controller only copies and posts them to
// its owner thread. Roster ids are narrow (UTF-8).
#include <cstdint>
#include <string>

class IVideoCapDevice;

class IVideoClientSink {
 public:
  virtual void OnJoinVideoConference(int32_t result) = 0;
  // A non-zero code is a leave reason, reported as an error first.
  virtual void OnLeftVideoConference(int32_t code, int32_t codetype) = 0;
  virtual void OnVideoConfReconnecting() = 0;
  virtual void OnUserStateUpdated(const std::string& rosterId) = 0;
  virtual void OnUserEnter(const std::string& rosterId, int32_t arg) = 0;
  virtual void OnUserLeft(const std::string& rosterId) = 0;
  virtual void OnActiveSpeaker(const std::string& rosterId) = 0;
  // An empty id clears the spotlight.
  virtual void OnSetSpotlightRoster(const std::string& rosterId) = 0;
  virtual void OnVCNetworkIndication(int32_t value) = 0;
  // 0 idle, 1 connecting or reconnecting, 2 joined, 4 left.
  virtual void OnVCStatusNotification(int32_t status) = 0;
  virtual void OnVCErrorNotification(int32_t code, int32_t codetype) = 0;
  // 0 starting, 1 camera started, 2 sending, 3 camera failed, 4 stopped.
  virtual void OnVCSendingProcess(int32_t status) = 0;
  virtual void OnVCConnectCamera(IVideoCapDevice* device, int32_t connected) = 0;
  virtual void OnVCMyStatusChanged(int32_t newState) = 0;
  virtual void GetChiefSender() = 0;
  virtual void OnRenderBlocked(const std::string& rosterId, int32_t blocked) = 0;
  virtual void OnVideoSizeChanged(const std::string& rosterId, int32_t width, int32_t height) = 0;

 protected:
  virtual ~IVideoClientSink() = default;
};
