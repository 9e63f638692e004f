#include "telephony/media_ports.h"

#include <gtest/gtest.h>

namespace qav {
namespace {

// libre would wrap 99999 to 34463 and send the call's audio there.
TEST(MediaPorts, APortBeyondSixteenBitsOrNoPortAtAllIsRefused) {
  for (const char* line : {"m=audio 99999 RTP/AVP 0", "m=audio 65536 RTP/AVP 0", "m=audio 4294967306 RTP/AVP 0",
                           "m=audio -1 RTP/AVP 0", "m=audio +5004 RTP/AVP 0", "m=audio RTP/AVP 0",
                           "m=audio 5004x RTP/AVP 0", "m=audio"}) {
    const std::string sdp = std::string("v=0\r\nc=IN IP4 127.0.0.1\r\n") + line + "\r\na=rtpmap:0 PCMU/8000\r\n";
    EXPECT_FALSE(mediaPortsInRange(sdp)) << line;
  }
}

TEST(MediaPorts, EveryMediaLineCountsNotOnlyTheFirst) {
  EXPECT_FALSE(mediaPortsInRange("m=audio 5004 RTP/AVP 0\r\nm=video 70000 RTP/AVP 31\r\n"));
  EXPECT_FALSE(mediaPortsInRange("m=audio 5004 RTP/AVP 0\nm=audio 123456 RTP/AVP 0"));
}

TEST(MediaPorts, PortsFromZeroTo65535WithOrWithoutACountAreAccepted) {
  for (const char* sdp : {"m=audio 0 RTP/AVP 0\r\n", "m=audio 65535 RTP/AVP 0\r\n", "m=audio 49170/2 RTP/AVP 0\r\n",
                          "v=0\na=x:m=audio 99999\nm=audio 5004 RTP/AVP 0", "v=0\r\n", ""}) {
    EXPECT_TRUE(mediaPortsInRange(sdp)) << sdp;
  }
}

}  // namespace
}  // namespace qav
