// Counting and writing out the service's metrics.
#include "serve_metrics.h"

#include <cstdio>

#include "data/pool.h"
#include "sql/translate.h"

namespace ksmain::serve {
namespace {

// Label values are written between double quotes: backslash, quote and newline escaped.
std::string LabelValue(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out;
}

std::string Number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

}  // namespace

void Metrics::CountRequest(int status) {
  std::lock_guard lock(mutex_);
  ++by_status_[status];
}

void Metrics::CountCall(const std::string& member, bool failed) {
  std::lock_guard lock(mutex_);
  auto it = by_member_.find(member);
  if (it == by_member_.end()) {
    it = by_member_.size() < kMaxMembers ? by_member_.emplace(member, MemberCounts{}).first
                                         : by_member_.try_emplace("(other)").first;
  }
  ++it->second.calls;
  if (failed) ++it->second.failures;
}

void Metrics::ObserveLatency(double seconds) {
  std::lock_guard lock(mutex_);
  std::size_t i = 0;
  while (i < kBuckets.size() && seconds > kBuckets[i]) ++i;
  ++buckets_[i];
  latency_sum_ += seconds;
  ++latency_count_;
}

std::string Metrics::Text() const {
  std::string out;
  {
    std::lock_guard lock(mutex_);
    out += "# HELP ksmain_http_requests_total HTTP requests answered, by status.\n";
    out += "# TYPE ksmain_http_requests_total counter\n";
    for (const auto& [status, n] : by_status_) {
      out += "ksmain_http_requests_total{status=\"" + std::to_string(status) + "\"} " + std::to_string(n) + "\n";
    }
    out += "# HELP ksmain_member_calls_total Member calls run, by member.\n";
    out += "# TYPE ksmain_member_calls_total counter\n";
    for (const auto& [member, c] : by_member_) {
      out += "ksmain_member_calls_total{member=\"" + LabelValue(member) + "\"} " + std::to_string(c.calls) + "\n";
    }
    out += "# HELP ksmain_member_failures_total Member calls that raised an automation error.\n";
    out += "# TYPE ksmain_member_failures_total counter\n";
    for (const auto& [member, c] : by_member_) {
      out += "ksmain_member_failures_total{member=\"" + LabelValue(member) + "\"} " +
             std::to_string(c.failures) + "\n";
    }
    out += "# HELP ksmain_call_duration_seconds Time to answer POST /call.\n";
    out += "# TYPE ksmain_call_duration_seconds histogram\n";
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i < buckets_.size(); ++i) {
      cumulative += buckets_[i];
      const std::string le = i < kBuckets.size() ? Number(kBuckets[i]) : "+Inf";
      out += "ksmain_call_duration_seconds_bucket{le=\"" + le + "\"} " + std::to_string(cumulative) + "\n";
    }
    out += "ksmain_call_duration_seconds_sum " + Number(latency_sum_) + "\n";
    out += "ksmain_call_duration_seconds_count " + std::to_string(latency_count_) + "\n";
  }
  out += "# HELP ksmain_requests_in_flight POST /call requests being answered.\n";
  out += "# TYPE ksmain_requests_in_flight gauge\n";
  out += "ksmain_requests_in_flight " + std::to_string(in_flight_.load()) + "\n";

  const data::PoolStatistics pool = data::GetPoolStatistics();
  const std::uint64_t open = pool.opened > pool.discarded ? pool.opened - pool.discarded : 0;
  out += "# HELP ksmain_pool_sessions Database sessions the pool holds, by state.\n";
  out += "# TYPE ksmain_pool_sessions gauge\n";
  out += "ksmain_pool_sessions{state=\"open\"} " + std::to_string(open) + "\n";
  out += "ksmain_pool_sessions{state=\"idle\"} " + std::to_string(pool.idle) + "\n";
  out += "# HELP ksmain_pool_acquisitions_total Sessions handed out, by whether the pool had one idle.\n";
  out += "# TYPE ksmain_pool_acquisitions_total counter\n";
  out += "ksmain_pool_acquisitions_total{source=\"opened\"} " + std::to_string(pool.opened) + "\n";
  out += "ksmain_pool_acquisitions_total{source=\"reused\"} " + std::to_string(pool.reused) + "\n";
  const sql::TranslationCacheStatistics cache = sql::GetTranslationCacheStatistics();
  out += "# HELP ksmain_translations_total Statements the SQL front end answered, by cache outcome.\n";
  out += "# TYPE ksmain_translations_total counter\n";
  out += "ksmain_translations_total{cache=\"exact_hit\"} " + std::to_string(cache.exact_hits) + "\n";
  out += "ksmain_translations_total{cache=\"shape_hit\"} " + std::to_string(cache.shape_hits) + "\n";
  out += "ksmain_translations_total{cache=\"miss\"} " + std::to_string(cache.translated) + "\n";
  return out;
}

}  // namespace ksmain::serve
