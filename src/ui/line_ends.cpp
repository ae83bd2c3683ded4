#include "ui/line_ends.h"

#include <Xm/TextP.h>
#include <Xm/TextStrSoP.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace refloom::ui {

namespace {

// The toolkit's own procedures, the same for every string source.
ScanProc toolkit_scan = nullptr;
ReplaceProc toolkit_replace = nullptr;

std::uint64_t searches = 0;

// Where a source's characters are: the gap buffer as the toolkit keeps it.
// Any edit moves the gap or changes the length, with one exception (a
// replacement of equal length that ends where the gap was), which the
// edit counter below covers.
struct BufferState {
  XmSourceData data = nullptr;
  const char* ptr = nullptr;
  const char* gap_start = nullptr;
  const char* gap_end = nullptr;
  int length = -1;

  static BufferState of(XmSourceData data) { return {data, data->ptr, data->gap_start, data->gap_end, data->length}; }
  bool operator==(const BufferState&) const = default;
};

// The last answer: no line end in [from, end), and at `end` a line end or
// the end of the text.
struct LastAnswer {
  BufferState state;
  std::uint64_t edits = 0;
  XmTextPosition from = 0;
  XmTextPosition end = -1;
};

LastAnswer last;
// Counts the edits of sped-up sources and the destruction of their widgets
// (a new source may take the old one's memory).
std::uint64_t edits = 0;
// While an edit runs, its state before the change: an answer found before
// the change within the edit must not be kept.
const BufferState* editing_from = nullptr;

std::size_t unit_size(XmSourceData data) {
  const int char_size = data->widgets[0]->text.char_size;
  return char_size == 1 ? 1 : char_size == 2 ? 2 : sizeof(wchar_t);
}

// The first position at or after `from` holding a line end, or the length.
XmTextPosition find_line_end(XmSourceData data, XmTextPosition from) {
  ++searches;
  const std::size_t unit = unit_size(data);
  const auto before_gap = static_cast<XmTextPosition>((data->gap_start - data->ptr) / static_cast<long>(unit));
  const auto gap = static_cast<XmTextPosition>((data->gap_end - data->gap_start) / static_cast<long>(unit));
  // Searches positions [begin, end) that lie in one piece of memory.
  const auto search = [&](XmTextPosition begin, XmTextPosition end, XmTextPosition offset) -> XmTextPosition {
    if (begin >= end) return -1;
    const char* base = data->ptr + static_cast<std::size_t>(begin + offset) * unit;
    const auto count = static_cast<std::size_t>(end - begin);
    if (unit == 1) {
      const void* hit = std::memchr(base, *data->PSWC_NWLN, count);
      return hit ? begin + (static_cast<const char*>(hit) - base) : -1;
    }
    if (unit == sizeof(wchar_t)) {
      wchar_t newline;
      std::memcpy(&newline, data->PSWC_NWLN, sizeof newline);
      const wchar_t* hit = std::wmemchr(reinterpret_cast<const wchar_t*>(base), newline, count);
      return hit ? begin + (hit - reinterpret_cast<const wchar_t*>(base)) : -1;
    }
    for (std::size_t i = 0; i < count; ++i) {
      if (std::memcmp(base + i * unit, data->PSWC_NWLN, unit) == 0) return begin + static_cast<XmTextPosition>(i);
    }
    return -1;
  };
  XmTextPosition hit = search(from, std::min<XmTextPosition>(before_gap, data->length), 0);
  if (hit < 0) hit = search(std::max(from, before_gap), data->length, gap);
  return hit < 0 ? data->length : hit;
}

XmTextPosition line_end_from(XmSourceData data, XmTextPosition from) {
  const BufferState now = BufferState::of(data);
  if (last.state == now && last.edits == edits && last.from <= from && from <= last.end) return last.end;
  const XmTextPosition end = find_line_end(data, from);
  if (editing_from == nullptr || !(*editing_from == now)) last = {now, edits, from, end};
  return end;
}

XmTextPosition scan(XmTextSource source, XmTextPosition position, XmTextScanType type, XmTextScanDirection direction,
                    int count, Boolean include) {
  XmSourceData data = source->data;
  // The one question word wrap asks per line; everything else, and any
  // position the toolkit would treat specially, goes to the toolkit.
  if (type != XmSELECT_LINE || direction != XmsdRight || count != 1 || position < 0 || position > data->length ||
      data->numwidgets < 1) {
    return toolkit_scan(source, position, type, direction, count, include);
  }
  XmTextPosition end = line_end_from(data, position);
  if (include && end < data->length) ++end;
  return end;
}

XmTextStatus replace(XmTextWidget widget, XEvent* event, XmTextPosition* start, XmTextPosition* end, XmTextBlock block,
                     Boolean call_callbacks) {
  const BufferState before = BufferState::of(widget->text.source->data);
  const BufferState* outer = editing_from;
  editing_from = &before;
  ++edits;
  const XmTextStatus status = toolkit_replace(widget, event, start, end, block, call_callbacks);
  ++edits;
  editing_from = outer;
  return status;
}

void text_destroyed_cb(Widget, XtPointer, XtPointer) { ++edits; }

}  // namespace

void speed_up_line_ends(Widget text, int motif_version) {
  if (motif_version != kLineEndsMotifVersion) return;
  XmTextSource source = XmTextGetSource(text);
  if (source == nullptr || source->Scan == scan) return;
  if (toolkit_scan == nullptr) {
    toolkit_scan = source->Scan;
    toolkit_replace = source->Replace;
  }
  // Only the toolkit's string source is known to work as assumed here.
  if (source->Scan != toolkit_scan || source->Replace != toolkit_replace) return;
  source->Scan = scan;
  source->Replace = replace;
  XtAddCallback(text, XmNdestroyCallback, text_destroyed_cb, nullptr);
}

std::uint64_t line_end_searches() { return searches; }

}  // namespace refloom::ui
