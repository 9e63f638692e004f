#include "torture_messages.h"

namespace qav::hostile {
namespace {

struct Addresses {
  std::string target;  // host:port of qav-cli
  std::string own;     // host:port of the sender
  std::string tag;     // unique per message and round
};

std::string via(const Addresses& a) {
  return "Via: SIP/2.0/UDP " + a.own + ";branch=z9hG4bK" + a.tag + ";rport\r\n";
}

std::string dialogHeaders(const Addresses& a, const std::string& method, const std::string& cseq = "1") {
  return via(a) + "From: <sip:torture@" + a.own + ">;tag=f" + a.tag + "\r\nTo: <sip:tester@" + a.target +
         ">\r\nCall-ID: " + a.tag + "@torture\r\nCSeq: " + cseq + " " + method + "\r\nMax-Forwards: 70\r\n";
}

std::string request(const Addresses& a, const std::string& method, const std::string& extra = "",
                    const std::string& body = "") {
  return method + " sip:tester@" + a.target + " SIP/2.0\r\n" + dialogHeaders(a, method) + extra +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string response(const Addresses& a, const std::string& status, const std::string& method) {
  return "SIP/2.0 " + status + "\r\n" + dialogHeaders(a, method, strayCSeq) + "Content-Length: 0\r\n\r\n";
}

const std::string sdp =
    "v=0\r\no=x 1 1 IN IP4 127.0.0.1\r\ns=-\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\nm=audio 9 RTP/AVP 0\r\n";

}  // namespace

std::vector<TortureMessage> tortureMessages(int target, int own, int round) {
  std::vector<TortureMessage> messages;
  int serial = 0;
  auto add = [&](const std::string& name, auto build) {
    const Addresses a{"127.0.0.1:" + std::to_string(target), "127.0.0.1:" + std::to_string(own),
                      "t" + std::to_string(round) + "x" + std::to_string(++serial)};
    messages.push_back({name, build(a)});
  };

  add("folded and blank-padded headers", [](const Addresses& a) {
    return "OPTIONS  sip:tester@" + a.target + "   SIP/2.0\r\n" + via(a) +
           "From :\t<sip:torture@" + a.own + ">\r\n   ;tag=f" + a.tag + "\r\nTo:<sip:tester@" + a.target +
           ">\r\nSubject: a folded\r\n\tsubject\r\n  over three lines\r\nCall-ID   :   " + a.tag +
           "\r\nCSeq: 1\r\n  OPTIONS\r\nMax-Forwards: 70\r\nContent-Length:   0   \r\n\r\n";
  });
  add("compact header names", [](const Addresses& a) {
    return "OPTIONS sip:tester@" + a.target + " SIP/2.0\r\nv: SIP/2.0/UDP " + a.own + ";branch=z9hG4bK" + a.tag +
           "\r\nf: <sip:torture@" + a.own + ">;tag=f" + a.tag + "\r\nt: sip:tester@" + a.target + "\r\ni: " + a.tag +
           "\r\nCSeq: 1 OPTIONS\r\nl: 0\r\n\r\n";
  });
  add("escaped URIs and quoted names", [](const Addresses& a) {
    return "OPTIONS sip:%74%65ster@" + a.target + ";x=%20%00%zz?h=%0d%0a SIP/2.0\r\n" + via(a) +
           "From: \"\\\"Tor\\\\ture\\\" %41\" <sip:t%40x@" + a.own + ";a=\"b\">;tag=f" + a.tag +
           "\r\nTo: \"\" <sip:%00@" + a.target + ">\r\nCall-ID: " + a.tag + "\r\nCSeq: 1 OPTIONS\r\n"
           "Max-Forwards: 70\r\nContent-Length: 0\r\n\r\n";
  });
  add("one header of 50000 bytes", [](const Addresses& a) {
    return request(a, "OPTIONS", "Subject: " + std::string(50000, 'x') + "\r\n");
  });
  add("a thousand Via headers", [](const Addresses& a) {
    std::string vias;
    for (int i = 0; i < 1000; ++i) vias += "Via: SIP/2.0/UDP 192.0.2.1:" + std::to_string(1000 + i) + ";branch=z9hG4bKv" + std::to_string(i) + "\r\n";
    return request(a, "OPTIONS", vias);
  });
  add("a URI of 20000 bytes", [](const Addresses& a) {
    return "OPTIONS sip:" + std::string(20000, 'a') + "@" + a.target + " SIP/2.0\r\n" + dialogHeaders(a, "OPTIONS") +
           "Content-Length: 0\r\n\r\n";
  });
  add("negative Content-Length", [](const Addresses& a) {
    return "OPTIONS sip:tester@" + a.target + " SIP/2.0\r\n" + dialogHeaders(a, "OPTIONS") +
           "Content-Length: -9999\r\n\r\nbody";
  });
  add("huge Content-Length", [](const Addresses& a) {
    return "INFO sip:tester@" + a.target + " SIP/2.0\r\n" + dialogHeaders(a, "INFO") +
           "Content-Type: application/dtmf-relay\r\nContent-Length: 99999999999999999999999\r\n\r\nSignal=1\r\n";
  });
  add("two Content-Length headers that disagree", [](const Addresses& a) {
    return "OPTIONS sip:tester@" + a.target + " SIP/2.0\r\n" + dialogHeaders(a, "OPTIONS") +
           "Content-Length: 0\r\nContent-Length: 4000\r\n\r\n";
  });
  add("an unknown method", [](const Addresses& a) { return request(a, "NEWFANGLEDMETHOD"); });
  add("a method of odd characters", [](const Addresses& a) { return request(a, "!interesting-Method0123456789_*+`.%indeed'~"); });
  add("an INVITE with two bodies in multipart", [](const Addresses& a) {
    const std::string body = "--b\r\nContent-Type: application/sdp\r\n\r\n" + sdp +
                             "--b\r\nContent-Type: application/sdp\r\n\r\n" + sdp + "--b--\r\n";
    return request(a, "INVITE", "Contact: <sip:torture@" + a.own + ">\r\nContent-Type: multipart/mixed;boundary=b\r\n", body);
  });
  add("an INVITE with a body but no Content-Type", [](const Addresses& a) {
    return request(a, "INVITE", "Contact: <sip:torture@" + a.own + ">\r\n", sdp);
  });
  add("a BYE for no dialog", [](const Addresses& a) {
    return "BYE sip:tester@" + a.target + " SIP/2.0\r\n" + via(a) + "From: <sip:torture@" + a.own + ">;tag=f" +
           a.tag + "\r\nTo: <sip:tester@" + a.target + ">;tag=nosuchtag\r\nCall-ID: " + a.tag +
           "\r\nCSeq: 2 BYE\r\nMax-Forwards: 70\r\nContent-Length: 0\r\n\r\n";
  });
  add("a CANCEL for no transaction", [](const Addresses& a) { return request(a, "CANCEL"); });
  add("an ACK for nothing", [](const Addresses& a) { return request(a, "ACK"); });
  add("no Call-ID and no CSeq", [](const Addresses& a) {
    return "OPTIONS sip:tester@" + a.target + " SIP/2.0\r\n" + via(a) + "From: <sip:t@" + a.own + ">;tag=f" + a.tag +
           "\r\nTo: <sip:tester@" + a.target + ">\r\nContent-Length: 0\r\n\r\n";
  });
  add("a CSeq of another method and number", [](const Addresses& a) {
    return "OPTIONS sip:tester@" + a.target + " SIP/2.0\r\n" + via(a) + "From: <sip:t@" + a.own + ">;tag=f" + a.tag +
           "\r\nTo: <sip:tester@" + a.target + ">\r\nCall-ID: " + a.tag +
           "\r\nCSeq: 99999999999999999999 INVITE\r\nContent-Length: 0\r\n\r\n";
  });
  add("Max-Forwards 0", [](const Addresses& a) { return request(a, "OPTIONS", "Max-Forwards: 0\r\n"); });
  add("another SIP version", [](const Addresses& a) {
    return "OPTIONS sip:tester@" + a.target + " SIP/7.0\r\n" + dialogHeaders(a, "OPTIONS") + "Content-Length: 0\r\n\r\n";
  });
  add("NUL bytes in headers", [](const Addresses& a) {
    return request(a, "OPTIONS", std::string("Subject: nul\0inside\r\nX-\0: \0\r\n", 29));
  });
  add("only line feeds", [](const Addresses& a) {
    std::string text = request(a, "OPTIONS");
    std::string lf;
    for (char c : text)
      if (c != '\r') lf += c;
    return lf;
  });
  add("a request line only", [](const Addresses& a) { return "OPTIONS sip:tester@" + a.target + " SIP/2.0\r\n"; });
  add("keep-alive blank lines", [](const Addresses&) { return std::string("\r\n\r\n"); });
  add("binary garbage", [](const Addresses& a) {
    std::string bytes;
    for (std::size_t i = 0; i < 1400; ++i) bytes += static_cast<char>((i * 131 + a.tag.size() * 7) % 256);
    return bytes;
  });
  add("a stray 200 for an INVITE", [](const Addresses& a) { return response(a, "200 OK", "INVITE"); });
  add("a stray 481", [](const Addresses& a) { return response(a, "481 Call/Transaction Does Not Exist", "BYE"); });
  add("a stray 401 for a REGISTER", [](const Addresses& a) {
    return "SIP/2.0 401 Unauthorized\r\n" + dialogHeaders(a, "REGISTER", strayCSeq) +
           "WWW-Authenticate: Digest realm=\"qav.test\", nonce=\"x\"\r\nContent-Length: 0\r\n\r\n";
  });
  add("a status code of 999 and one of 099", [](const Addresses& a) {
    return response(a, "999 Unheard Of", "OPTIONS") + response(a, "099 Too Small", "OPTIONS");
  });
  add("a status line without reason", [](const Addresses& a) { return response(a, "183", "INVITE"); });
  return messages;
}

std::string livenessProbe(int target, int own, int round) {
  const std::string t = "127.0.0.1:" + std::to_string(target);
  const std::string o = "127.0.0.1:" + std::to_string(own);
  const std::string r = std::to_string(round);
  return "OPTIONS sip:tester@" + t + " SIP/2.0\r\nVia: SIP/2.0/UDP " + o + ";branch=z9hG4bKprobe" + r +
         ";rport\r\nFrom: <sip:probe@" + o + ">;tag=p" + r + "\r\nTo: <sip:tester@" + t + ">\r\nCall-ID: probe" + r +
         "@torture\r\nCSeq: " + r + " OPTIONS\r\nMax-Forwards: 70\r\nContent-Length: 0\r\n\r\n";
}

}  // namespace qav::hostile
