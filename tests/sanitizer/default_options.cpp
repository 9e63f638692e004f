// Runtime options compiled into every program of a sanitizer build, so that a
// report ends the process with status 66 even when a test starts it with an
// environment of its own; *_OPTIONS variables still override them.
#ifndef QAV_SANITIZER_LOG
#error "QAV_SANITIZER_LOG must name the report file prefix"
#endif

// 66 is no status any of our programs uses; a test that expects 2 or 3 from a
// child cannot mistake a report for it.
#define QAV_COMMON_OPTIONS                                                  \
  "exitcode=66:halt_on_error=1:abort_on_error=0:print_stacktrace=1:"       \
  "log_path=" QAV_SANITIZER_LOG

extern "C" {

#if defined(QAV_SANITIZE_ADDRESS)
const char* __asan_default_options() {
  return QAV_COMMON_OPTIONS ":detect_leaks=1:verify_asan_link_order=0:"
                            "strict_string_checks=1:check_initialization_order=1";
}

const char* __ubsan_default_options() { return QAV_COMMON_OPTIONS; }

const char* __lsan_default_options() {
  return "exitcode=66:suppressions=" QAV_LSAN_SUPPRESSIONS;
}
#endif

#if defined(QAV_SANITIZE_THREAD)
const char* __tsan_default_options() {
  return QAV_COMMON_OPTIONS ":second_deadlock_stack=1:suppressions=" QAV_TSAN_SUPPRESSIONS;
}
#endif

}
