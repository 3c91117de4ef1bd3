// What the figures of `make bench` share: the clock, medians and percentiles, the rows and
// notes they print for scripts/bench to lay out, the raw pipe round trip that several figures
// are measured against, and one function per figure.
#pragma once

#include <string>
#include <vector>

// --- the figures, in the order lv_bench.exe runs them

void MeasureStatusExchange();  // pipe_figure.cpp
void MeasureContextMenus();    // menus_figure.cpp
void MeasureStarts();          // start_figure.cpp
void MeasureServiceLoad();     // load_figure.cpp

// --- measuring

double NowMicroseconds();
double Median(std::vector<double> values);
// Nearest rank: the smallest value with at least share of all values at or below it.
double Percentile(std::vector<double> values, double share);

template <class Fn>
double Timed(Fn&& fn) {
  const double start = NowMicroseconds();
  fn();
  return NowMicroseconds() - start;
}

// --- printing

std::string Format(const char* format, ...);
std::string Duration(double microseconds);
// One row of the table: number, measure, measured, baseline, ratio, target, result.
void Row(const std::string& number, const std::string& measure, const std::string& measured,
         const std::string& baseline, const std::string& ratio, const std::string& target, const std::string& result);
// A line of the figures behind a row.
void Note(const std::string& text);
// A row whose figure is a ratio with an upper bound; a row with failed samples never holds.
void RatioRow(const std::string& number, const std::string& measure, double measured, double baseline, double target,
              int failures);

// --- the pipe

// The request's text and its NUL.
std::string Request(const char* text);
// The raw round trip: open, one write, one read, close; nothing converted, nothing parsed.
bool RawRoundTrip(const std::string& request);
