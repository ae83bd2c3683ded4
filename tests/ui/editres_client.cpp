#include "editres_client.h"

#include <X11/Xatom.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <optional>

namespace refloom::testing {

namespace {

// The protocol's version, request code and reply type (libXmu's EditresP.h).
constexpr long kProtocolVersion = 5;
constexpr unsigned char kSendWidgetTree = 0;
constexpr unsigned char kFormattedReply = 0;
constexpr unsigned char kIdent = 7;

// Reads the protocol's big-endian fields from a reply.
class Reader {
 public:
  explicit Reader(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}

  std::optional<std::uint32_t> card(int size) {
    if (at_ + static_cast<std::size_t>(size) > bytes_.size()) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i) value = (value << 8) | bytes_[at_++];
    return value;
  }
  std::optional<std::string> string8() {
    const auto length = card(2);
    if (!length || at_ + *length > bytes_.size()) return std::nullopt;
    std::string text(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                     bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + *length));
    at_ += *length;
    return text;
  }
  bool at_end() const { return at_ == bytes_.size(); }

 private:
  const std::vector<unsigned char>& bytes_;
  std::size_t at_ = 0;
};

void parse_tree(const std::vector<unsigned char>& reply, EditresTree& tree) {
  Reader reader(reply);
  const auto ident = reader.card(1);
  const auto type = reader.card(1);
  const auto size = reader.card(4);
  if (!ident || !type || !size || *ident != kIdent) {
    tree.error = "reply without a header for this request";
    return;
  }
  if (*type != kFormattedReply) {
    tree.error = "reply of type " + std::to_string(*type);
    if (auto message = reader.string8()) tree.error += ": " + *message;
    return;
  }
  const auto count = reader.card(2);
  if (!count) {
    tree.error = "reply without a widget count";
    return;
  }
  for (std::uint32_t i = 0; i < *count; ++i) {
    EditresWidget widget;
    const auto depth = reader.card(2);
    if (!depth) break;
    for (std::uint32_t d = 0; d < *depth; ++d) {
      const auto id = reader.card(4);
      if (!id) break;
      widget.path.push_back(*id);
    }
    const auto name = reader.string8();
    const auto widget_class = reader.string8();
    const auto window = reader.card(4);
    if (!name || !widget_class || !window || widget.path.size() != *depth) {
      tree.error = "widget " + std::to_string(i) + " cut short";
      return;
    }
    widget.name = *name;
    widget.widget_class = *widget_class;
    widget.window = *window;
    tree.widgets.push_back(std::move(widget));
  }
  const auto toolkit = reader.string8();
  if (!toolkit || !reader.at_end()) {
    tree.error = "reply does not end with the toolkit name";
    return;
  }
  tree.toolkit = *toolkit;
}

// A server timestamp, from a property change on our own window.
Time server_time(Display* display, Window window) {
  const Atom atom = XInternAtom(display, "EditresTestTime", False);
  XChangeProperty(display, window, atom, XA_STRING, 8, PropModeAppend, nullptr, 0);
  XEvent event;
  XWindowEvent(display, window, PropertyChangeMask, &event);
  return event.xproperty.time;
}

}  // namespace

const EditresWidget* EditresTree::find(const std::string& name) const {
  for (const EditresWidget& widget : widgets) {
    if (widget.name == name) return &widget;
  }
  return nullptr;
}

EditresTree editres_widget_tree(Display* display, Window target, const std::function<void()>& between_polls,
                                int timeout_ms) {
  EditresTree tree;
  const Atom editres = XInternAtom(display, "Editres", False);
  const Atom command_target = XInternAtom(display, "EditresCommand", False);
  const Atom protocol_type = XInternAtom(display, "EditresProtocol", False);
  const Atom reply_target = XInternAtom(display, "EditresClientVal", False);
  // The selection through which request and reply pass; any atom of ours.
  const Atom channel = XInternAtom(display, "EditresComm_refloom_test", False);

  XSetWindowAttributes attributes{};
  attributes.event_mask = PropertyChangeMask;
  const Window window = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, CopyFromParent, InputOnly,
                                      CopyFromParent, CWEventMask, &attributes);
  const Time time = server_time(display, window);
  XSetSelectionOwner(display, channel, window, time);
  if (XGetSelectionOwner(display, channel) != window) {
    XDestroyWindow(display, window);
    tree.error = "could not own the request selection";
    return tree;
  }

  // The request: ident, request code, data length (none for the tree).
  const unsigned char request[6] = {kIdent, kSendWidgetTree, 0, 0, 0, 0};
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = target;
  message.xclient.message_type = editres;
  message.xclient.format = 32;
  message.xclient.data.l[0] = static_cast<long>(time);
  message.xclient.data.l[1] = static_cast<long>(channel);
  message.xclient.data.l[2] = kIdent;
  message.xclient.data.l[3] = kProtocolVersion;
  XSendEvent(display, target, False, NoEventMask, &message);
  XFlush(display);

  const Atom reply_property = XInternAtom(display, "EditresTestReply", False);
  bool answered = false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    if (between_polls) between_polls();
    if (XPending(display) == 0) {
      usleep(5000);
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == SelectionRequest && event.xselectionrequest.selection == channel) {
      // The program fetches the request.
      const XSelectionRequestEvent& asked = event.xselectionrequest;
      XEvent notify{};
      notify.xselection.type = SelectionNotify;
      notify.xselection.requestor = asked.requestor;
      notify.xselection.selection = asked.selection;
      notify.xselection.target = asked.target;
      notify.xselection.time = asked.time;
      notify.xselection.property = None;
      if (asked.target == command_target) {
        ++tree.fetches;
        const Atom property = asked.property != None ? asked.property : asked.target;
        XChangeProperty(display, asked.requestor, property, protocol_type, 8, PropModeReplace, request, sizeof request);
        notify.xselection.property = property;
      }
      XSendEvent(display, asked.requestor, False, NoEventMask, &notify);
      XFlush(display);
    } else if (event.type == SelectionClear && event.xselectionclear.selection == channel) {
      // The program owns the selection now: its reply is ready.
      XConvertSelection(display, channel, reply_target, reply_property, window, CurrentTime);
      XFlush(display);
    } else if (event.type == SelectionNotify && event.xselection.selection == channel && !answered) {
      answered = true;
      // Every handler has fetched the request by now; a moment more for
      // any fetch still on its way.
      deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
      if (event.xselection.property == None) {
        tree.error = "the program refused to hand over its reply";
        continue;
      }
      Atom type = None;
      int format = 0;
      unsigned long count = 0;
      unsigned long after = 0;
      unsigned char* data = nullptr;
      XGetWindowProperty(display, window, reply_property, 0, 1 << 20, True, AnyPropertyType, &type, &format, &count,
                         &after, &data);
      if (type != protocol_type || format != 8) {
        tree.error = "reply of an unexpected type";
      } else {
        parse_tree(std::vector<unsigned char>(data, data + count), tree);
      }
      if (data != nullptr) XFree(data);
    }
  }
  if (!answered) tree.error = "no reply within " + std::to_string(timeout_ms) + " ms";
  XDestroyWindow(display, window);
  XFlush(display);
  return tree;
}

}  // namespace refloom::testing
