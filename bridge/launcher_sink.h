#pragma once
// What the client launcher tells the host (on the launcher thread, and
// progress also on the download thread).
class IVelzarLauncherProviderSink {
 public:
  // 0: the client was started; 1: it could not be started; 2: the required
  // client could not be put in place.
  virtual void OnStartApplicationResult(int result) = 0;
  virtual void onUpgradeProgress(int percent) = 0;
  // A system error the host reports to the extension before it ends.
  virtual void onSystemErrorCode(int code) = 0;
  virtual void onLog(const char* tag, const char* format, ...) __attribute__((format(printf, 3, 4))) = 0;

 protected:
  ~IVelzarLauncherProviderSink() = default;
};
