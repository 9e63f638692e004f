// The libre calls whose form changed between the releases qav-cli builds on:
// 1.x with librem 0.x (Debian) up to 4.x (FreeBSD's audio/re), in one place.
#pragma once

#include <re.h>

#include <cstdint>

#if QAV_LIBRE_VERSION < 20000
#include <openssl/ssl.h>
#endif

// QAV_LIBRE_VERSION (major * 10000 + minor * 100 + patch) comes from the
// build (cmake/libre.cmake). Each gate is the first release with the change.
#define QAV_LIBRE_AT_LEAST(major, minor) (QAV_LIBRE_VERSION >= (major) * 10000 + (minor) * 100)

#if !QAV_LIBRE_AT_LEAST(2, 0)
// Declared by libre 1.x only when its own build defines USE_OPENSSL.
extern "C" struct ssl_ctx_st* tls_openssl_context(const struct tls* tls);
#endif

namespace qav {

// Free functions, as libre's own; each runs where libre may be called (the
// worker thread or under a LibreLock).

// A REGISTER that refreshes itself: one call before 3.0, allocation and the
// first request since. No extra parameters or headers.
inline int sipregRegister(struct sipreg** regp, struct sip* sip, const char* regUri, const char* toUri,
                          const char* fromName, const char* fromUri, std::uint32_t expires, const char* cuser,
                          const char* routev[], std::uint32_t routec, int regid, sip_auth_h* authh, void* aarg,
                          bool aref, sip_resp_h* resph, void* arg) {
#if QAV_LIBRE_AT_LEAST(3, 0)
  int err = sipreg_alloc(regp, sip, regUri, toUri, fromName, fromUri, expires, cuser, routev, routec, regid, authh,
                         aarg, aref, resph, arg, nullptr, nullptr);
  if (!err) err = sipreg_send(*regp);
  if (err) *regp = static_cast<struct sipreg*>(mem_deref(*regp));
  return err;
#else
  return sipreg_register(regp, sip, regUri, toUri, fromName, fromUri, expires, cuser, routev, routec, regid, authh,
                         aarg, aref, resph, arg, nullptr, nullptr);
#endif
}

// The offer of an outgoing INVITE comes from a handler, as since 2.1, which
// libre calls for every INVITE it sends, retransmissions and the answer to
// a challenge included; before, it is called once here, without the
// transport's addresses.
using SipsessDescribe = int(struct mbuf** descp, const struct sa* src, const struct sa* dst, void* arg);

inline int sipsessConnect(struct sipsess** sessp, struct sipsess_sock* sock, const char* toUri, const char* fromName,
                          const char* fromUri, const char* cuser, const char* routev[], std::uint32_t routec,
                          const char* ctype, SipsessDescribe* describe, sip_auth_h* authh, void* aarg, bool aref,
                          sipsess_offer_h* offerh, sipsess_answer_h* answerh, sipsess_progr_h* progrh,
                          sipsess_estab_h* estabh, sipsess_info_h* infoh, sipsess_refer_h* referh,
                          sipsess_close_h* closeh, void* arg) {
#if QAV_LIBRE_AT_LEAST(2, 1)
  // No Call-ID of our own: libre makes one.
  return sipsess_connect(sessp, sock, toUri, fromName, fromUri, cuser, routev, routec, ctype, authh, aarg, aref,
                         nullptr, describe, offerh, answerh, progrh, estabh, infoh, referh, closeh, arg, nullptr);
#else
  struct mbuf* offer = nullptr;
  int err = describe(&offer, nullptr, nullptr, arg);
  if (!err)
    err = sipsess_connect(sessp, sock, toUri, fromName, fromUri, cuser, routev, routec, ctype, offer, authh, aarg,
                          aref, offerh, answerh, progrh, estabh, infoh, referh, closeh, arg, nullptr);
  mem_deref(offer);
  return err;
#endif
}

// Answers an incoming INVITE without reliable provisional responses (100rel,
// a choice since 3.0). headers: extra header lines, or null.
inline int sipsessAccept(struct sipsess** sessp, struct sipsess_sock* sock, const struct sip_msg* msg,
                         std::uint16_t scode, const char* reason, const char* cuser, const char* ctype,
                         struct mbuf* desc, sip_auth_h* authh, void* aarg, bool aref, sipsess_offer_h* offerh,
                         sipsess_answer_h* answerh, sipsess_estab_h* estabh, sipsess_info_h* infoh,
                         sipsess_refer_h* referh, sipsess_close_h* closeh, void* arg, const char* headers) {
  return sipsess_accept(sessp, sock, msg, scode, reason,
#if QAV_LIBRE_AT_LEAST(3, 0)
                        REL100_DISABLED,
#endif
                        cuser, ctype, desc, authh, aarg, aref, offerh, answerh, estabh, infoh, referh, closeh, arg,
                        headers ? "%s" : nullptr, headers);
}

// Since 3.6 the sender's wall clock at the timestamp feeds RTCP's jitter.
inline int rtpSend(struct rtp_sock* rs, const struct sa* dst, bool marker, std::uint8_t pt, std::uint32_t ts,
                   struct mbuf* mb) {
#if QAV_LIBRE_AT_LEAST(3, 6)
  return rtp_send(rs, dst, false, marker, pt, ts, tmr_jiffies_rt_usec(), mb);
#else
  return rtp_send(rs, dst, false, marker, pt, ts, mb);
#endif
}

// Full ICE; the lite mode and the mode argument went in 2.1.
inline int icemAlloc(struct icem** icemp, enum ice_role role, int proto, int layer, std::uint64_t tiebrk,
                     const char* lufrag, const char* lpwd, ice_connchk_h* chkh, void* arg) {
#if QAV_LIBRE_AT_LEAST(2, 1)
  return icem_alloc(icemp, role, proto, layer, tiebrk, lufrag, lpwd, chkh, arg);
#else
  return icem_alloc(icemp, ICE_MODE_FULL, role, proto, layer, tiebrk, lufrag, lpwd, chkh, arg);
#endif
}

// The local host candidate over UDP, the base of the others.
inline int icemAddHostCandidate(struct icem* icem, unsigned compid, std::uint16_t lprio, const char* ifname,
                                const struct sa* addr) {
#if QAV_LIBRE_AT_LEAST(2, 1)
  return icem_lcand_add_base(icem, ICE_CAND_TYPE_HOST, compid, lprio, ifname, ICE_TRANSP_UDP, addr);
#else
  return icem_cand_add(icem, compid, lprio, ifname, addr);
#endif
}

// A TLS context for SIP over TLS, any protocol version both sides speak.
inline int tlsAlloc(struct tls** tlsp) {
#if QAV_LIBRE_AT_LEAST(4, 9)
  return tls_alloc(tlsp, TLS_METHOD_TLS, nullptr, nullptr);
#else
  return tls_alloc(tlsp, TLS_METHOD_SSLV23, nullptr, nullptr);
#endif
}

// Whether a client checks the server's certificate chain: libre 1.x never
// does, 2.0 and later always unless told not to. With verify, caFile holds
// the trusted certificates (PEM).
inline int tlsVerifyServer(struct tls* tls, bool verify, const char* caFile) {
  if (!verify) {
#if QAV_LIBRE_AT_LEAST(2, 0)
    tls_disable_verify_server(tls);
#endif
    return 0;
  }
  const int err = tls_add_ca(tls, caFile);
  if (err) return err;
#if !QAV_LIBRE_AT_LEAST(2, 0)
  SSL_CTX_set_verify(tls_openssl_context(tls), SSL_VERIFY_PEER, nullptr);
#endif
  return 0;
}

// A self-signed certificate for a side that others connect to: RSA before
// 4.0 (whose elliptic-curve one fails with OpenSSL 3), P-256 since, when RSA
// is gone.
inline int tlsSelfSigned(struct tls* tls, const char* commonName) {
#if QAV_LIBRE_AT_LEAST(4, 0)
  return tls_set_selfsigned_ec(tls, commonName, "prime256v1");
#else
  return tls_set_selfsigned_rsa(tls, commonName, 2048);
#endif
}

}  // namespace qav
