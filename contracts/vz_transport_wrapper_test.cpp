#include "contracts/vz_transport_wrapper.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A transport that records the calls it gets, by slot.
class RecordingTransport : public IMediaTransport {
 public:
  std::vector<std::string> calls;
  std::string last_bytes;

  uint8_t GetSessionType() override { return 3; }
  uint8_t Join(const void*, const NetworkProxyEntry*, IMediaTransportFilter*) override {
    calls.push_back("Join");
    return 1;
  }
  int32_t Leave() override { return Record("Leave"); }
  int32_t SendCommandData(const CByteStream*) override { return Record("SendCommandData"); }
  int32_t SendRtpData(const CByteStream*) override { return Record("SendRtpData"); }
  int32_t SendRtcpData(const CByteStream*) override { return Record("SendRtcpData"); }
  int32_t SendDataUtf8(const char* data, uint32_t size) override {
    last_bytes.assign(data, size);
    return Record("SendDataUtf8");
  }
  int32_t GetSendBacklog() override { return Record("GetSendBacklog"); }
  int32_t SendDataBinary(const uint8_t* data, uint32_t size) override {
    last_bytes.assign(reinterpret_cast<const char*>(data), size);
    return Record("SendDataBinary");
  }
  int32_t GetMemberCount() override { return Record("GetMemberCount"); }
  int32_t SetOption(int32_t, int32_t) override { return Record("SetOption"); }
  int32_t GetOption(int32_t, int32_t*) override { return Record("GetOption"); }
  int32_t Subscribe(uint32_t, int32_t) override { return Record("Subscribe"); }
  int32_t SetMaxSendBandwidth(int32_t) override { return Record("SetMaxSendBandwidth"); }

 private:
  int32_t Record(const char* name) {
    calls.push_back(name);
    return 7;
  }
};

// The fake library: what it exports is set per test.
struct FakeLibrary {
  bool present = true;
  bool has_create = true;
  bool has_release = true;
  bool create_fails = false;
  RecordingTransport transport;
  IMediaTransportSink* sink = nullptr;
  uint8_t session_type = 0;
  int releases = 0;
  std::string opened;
};
FakeLibrary* g_library = nullptr;

IMediaTransport* FakeCreate(IMediaTransportSink* sink, uint8_t session_type) {
  g_library->sink = sink;
  g_library->session_type = session_type;
  return g_library->create_fails ? nullptr : &g_library->transport;
}
void FakeRelease(IMediaTransport* transport) {
  EXPECT_EQ(transport, &g_library->transport);
  ++g_library->releases;
}
void* FakeOpen(const char* name) {
  g_library->opened = name;
  return g_library->present ? g_library : nullptr;
}
void* FakeOrdinal(void*, int ordinal) {
  if (ordinal == 1 && g_library->has_create) return reinterpret_cast<void*>(&FakeCreate);
  if (ordinal == 2 && g_library->has_release) return reinterpret_cast<void*>(&FakeRelease);
  return nullptr;
}
class NullSink : public IMediaTransportSink {};

constexpr TransportLibraryLoader kFakeLoader{&FakeOpen, &FakeOrdinal};

class TransportWrapperTest : public ::testing::Test {
 protected:
  void SetUp() override { g_library = &library_; }
  void TearDown() override { g_library = nullptr; }
  FakeLibrary library_;
  NullSink sink_;
};

void ExpectEveryOperationReturnsZero(CVzTransportWrapper& wrapper) {
  int32_t value = 0;
  EXPECT_EQ(wrapper.Join(nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(wrapper.Leave(), 0);
  EXPECT_EQ(wrapper.SendCommandData(nullptr), 0);
  EXPECT_EQ(wrapper.SendRtpData(nullptr), 0);
  EXPECT_EQ(wrapper.SendRtcpData(nullptr), 0);
  EXPECT_EQ(wrapper.SendDataUtf8("a", 1), 0);
  EXPECT_EQ(wrapper.SendDataUtf8(std::string("a")), 0);
  EXPECT_EQ(wrapper.SendDataBinary(reinterpret_cast<const uint8_t*>("a"), 1), 0);
  EXPECT_EQ(wrapper.SendDataBinary(std::string("a")), 0);
  EXPECT_EQ(wrapper.SetOption(1, 2), 0);
  EXPECT_EQ(wrapper.GetOption(1, &value), 0);
  EXPECT_EQ(wrapper.Subscribe(1, 1), 0);
  EXPECT_EQ(wrapper.SetMaxSendBandwidth(1), 0);
}

TEST_F(TransportWrapperTest, WithoutTheLibraryNothingIsCreatedAndEveryOperationIsZero) {
  library_.present = false;
  CVzTransportWrapper wrapper(kFakeLoader);
  EXPECT_EQ(library_.opened, "vzwire.dll");
  EXPECT_FALSE(wrapper.CreateInstance(&sink_, 3));
  ExpectEveryOperationReturnsZero(wrapper);
}

TEST_F(TransportWrapperTest, CreateFailsWithoutSinkExportOrTransport) {
  CVzTransportWrapper wrapper(kFakeLoader);
  EXPECT_FALSE(wrapper.CreateInstance(nullptr, 3));
  library_.has_create = false;
  EXPECT_FALSE(wrapper.CreateInstance(&sink_, 3));
  library_.has_create = true;
  library_.create_fails = true;
  EXPECT_FALSE(wrapper.CreateInstance(&sink_, 3));
  ExpectEveryOperationReturnsZero(wrapper);
}

TEST_F(TransportWrapperTest, ForwardsEachOperationToItsSlot) {
  CVzTransportWrapper wrapper(kFakeLoader);
  ASSERT_TRUE(wrapper.CreateInstance(&sink_, 2));
  EXPECT_EQ(library_.sink, &sink_);
  EXPECT_EQ(library_.session_type, 2);
  int32_t value = 0;
  EXPECT_EQ(wrapper.Join(nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(wrapper.Leave(), 7);
  EXPECT_EQ(wrapper.SendCommandData(nullptr), 7);
  EXPECT_EQ(wrapper.SendRtpData(nullptr), 7);
  EXPECT_EQ(wrapper.SendRtcpData(nullptr), 7);
  EXPECT_EQ(wrapper.SetOption(1, 2), 7);
  EXPECT_EQ(wrapper.GetOption(1, &value), 7);
  EXPECT_EQ(wrapper.Subscribe(1, 1), 7);
  EXPECT_EQ(wrapper.SetMaxSendBandwidth(1), 7);
  EXPECT_THAT(library_.transport.calls,
              ::testing::ElementsAre("Join", "Leave", "SendCommandData", "SendRtpData", "SendRtcpData",
                                     "SetOption", "GetOption", "Subscribe", "SetMaxSendBandwidth"));
}

TEST_F(TransportWrapperTest, StringFormsSendTheirBytesThroughTheRawSlots) {
  CVzTransportWrapper wrapper(kFakeLoader);
  ASSERT_TRUE(wrapper.CreateInstance(&sink_, 3));
  const std::string binary("a\0b", 3);
  EXPECT_EQ(wrapper.SendDataBinary(binary), 7);
  EXPECT_EQ(library_.transport.last_bytes, binary);
  EXPECT_EQ(wrapper.SendDataUtf8(std::string("text")), 7);
  EXPECT_EQ(library_.transport.last_bytes, "text");
  EXPECT_THAT(library_.transport.calls, ::testing::ElementsAre("SendDataBinary", "SendDataUtf8"));
}

TEST_F(TransportWrapperTest, ReleaseWithoutTheExportKeepsTheTransport) {
  CVzTransportWrapper wrapper(kFakeLoader);
  ASSERT_TRUE(wrapper.CreateInstance(&sink_, 3));
  library_.has_release = false;
  wrapper.ReleaseInstance();
  EXPECT_TRUE(wrapper.HasTransport());
  EXPECT_EQ(library_.releases, 0);
  library_.has_release = true;
  wrapper.ReleaseInstance();
  EXPECT_FALSE(wrapper.HasTransport());
  EXPECT_EQ(library_.releases, 1);
  EXPECT_EQ(wrapper.Leave(), 0);
}

TEST_F(TransportWrapperTest, DestructionReleasesTheTransportOnce) {
  {
    CVzTransportWrapper wrapper(kFakeLoader);
    ASSERT_TRUE(wrapper.CreateInstance(&sink_, 3));
  }
  EXPECT_EQ(library_.releases, 1);
}

}  // namespace
