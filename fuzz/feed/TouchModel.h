// Reads every byte of the texts and attributes a read put into the model, so
// that a field left pointing at memory the read did not keep shows under the
// sanitizers.
#pragma once

#include <string_view>

#include "feed/FeedState.h"

// Where the sums go, so that the reads are not optimised away.
inline volatile unsigned char touchSink = 0;

inline void TouchText(std::string_view text) {
  unsigned char sum = 0;
  for (char c : text) sum = static_cast<unsigned char>(sum + static_cast<unsigned char>(c));
  touchSink = static_cast<unsigned char>(touchSink + sum);
}

inline void TouchField(const rssvane::FeedField& field) {
  TouchText(field.Name());
  TouchText(field.Text());
  for (size_t a = 0; a < field.AttributeCount(); ++a) {
    TouchText(field.AttributeName(a));
    TouchText(field.AttributeValue(a));
  }
}

inline void TouchContainer(const rssvane::FeedContainer& container) {
  for (size_t i = 0; i < container.FixedCount(); ++i) TouchField(container.Fixed(i));
  for (size_t i = 0; i < container.ExtraCount(); ++i) TouchField(*container.Extra(i));
}

inline void TouchModel(rssvane::FeedState& feed) {
  TouchContainer(feed.Channel());
  TouchContainer(feed.Image());
  TouchContainer(feed.TextInput());
  for (long i = 1; i <= static_cast<long>(feed.ItemCount()); ++i) TouchContainer(*feed.Item(i));
}
