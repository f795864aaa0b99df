// The service's counters, written out in the Prometheus text format for GET /metrics:
// requests by answer status, member calls and failures by member, a latency histogram
// of POST /call, requests in flight, and the library's pool and translation-cache figures.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace ksmain::serve {

class Metrics {
 public:
  // Latency bucket bounds in seconds; the last bucket (+Inf) is implicit.
  static constexpr std::array<double, 12> kBuckets = {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025,
                                                      0.05,   0.1,   0.25,   0.5,   1.0,  5.0};
  // Member names come from callers; past this many distinct names the rest share one label,
  // so a caller cannot grow the table without bound.
  static constexpr std::size_t kMaxMembers = 512;

  void CountRequest(int status);
  void CountCall(const std::string& member, bool failed);
  void ObserveLatency(double seconds);
  std::atomic<int>& in_flight() { return in_flight_; }

  std::string Text() const;

 private:
  struct MemberCounts {
    std::uint64_t calls = 0;
    std::uint64_t failures = 0;
  };
  mutable std::mutex mutex_;
  std::map<int, std::uint64_t> by_status_;
  std::map<std::string, MemberCounts> by_member_;
  std::array<std::uint64_t, kBuckets.size() + 1> buckets_{};
  double latency_sum_ = 0;
  std::uint64_t latency_count_ = 0;
  std::atomic<int> in_flight_{0};
};

}  // namespace ksmain::serve
