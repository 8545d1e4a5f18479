#pragma once

#include <QByteArray>
#include <cstdint>
#include <string_view>

class CQuorvaneDoc;

// A label value in the Prometheus text format: backslash, double quote and
// line feed escaped; bytes that are not UTF-8 (a host name in another
// code page) decoded as the program shows them, so the output stays UTF-8.
QByteArray escapeLabelValue(std::string_view value);

// The park as Prometheus reads it, in the text exposition format: one
// family after another, each with its HELP and TYPE lines.
//   quorvane_up{object,kind,name,zone,group} 1 when the machine answers
//   quorvane_players, quorvane_proxy_clients, quorvane_proxy_slots,
//   quorvane_proxy_out_rate, quorvane_hub_clients, quorvane_hub_max_clients,
//   quorvane_seconds_since_reply{object}
//   quorvane_log_events_total{object,type}
//   quorvane_log_stream_lost{object} for the servers streaming here
//   quorvane_log_datagrams_dropped_total{reason}
QByteArray metricsText(const CQuorvaneDoc& document, std::int64_t now);
