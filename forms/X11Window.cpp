#include "forms/X11Window.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/shape.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace forms::x11 {

namespace {

xcb_connection_t *connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

template <typename Reply>
using Owned = std::unique_ptr<Reply, decltype(&std::free)>;

bool viewable(xcb_connection_t *c, xcb_window_t window)
{
    const Owned<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr), &std::free);
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

// The child of the root window that holds `window`: its frame, under a window manager.
xcb_window_t topLevel(xcb_connection_t *c, xcb_window_t window)
{
    for (int depth = 0; depth < 16; ++depth) {
        const Owned<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr),
                                                 &std::free);
        if (!tree)
            return XCB_WINDOW_NONE;
        if (tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE)
            return window;
        window = tree->parent;
    }
    return XCB_WINDOW_NONE;
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    const Owned<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_window_t rootOf(xcb_connection_t *c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

// The window manager's stacking of its clients, bottom first; empty without one.
std::vector<xcb_window_t> clientStacking(xcb_connection_t *c)
{
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(c, 0, rootOf(c), atom(c, "_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW, 0, 4096);
    const Owned<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr), &std::free);
    if (!reply || reply->format != 32)
        return {};
    const auto *windows = static_cast<const xcb_window_t *>(xcb_get_property_value(reply.get()));
    return std::vector<xcb_window_t>(windows, windows + xcb_get_property_value_length(reply.get()) / 4);
}

// The X server's stacking of the root's children, bottom first.
std::vector<xcb_window_t> rootStacking(xcb_connection_t *c)
{
    const Owned<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, rootOf(c)), nullptr),
                                             &std::free);
    if (!tree)
        return {};
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    return std::vector<xcb_window_t>(children, children + xcb_query_tree_children_length(tree.get()));
}

// Whether the window manager says it understands this hint (_NET_SUPPORTED).
bool supported(xcb_connection_t *c, const char *hint)
{
    const xcb_atom_t wanted = atom(c, hint);
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(c, 0, rootOf(c), atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 0, 4096);
    const Owned<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr), &std::free);
    if (!reply || reply->format != 32 || wanted == XCB_ATOM_NONE)
        return false;
    const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    return std::find(atoms, atoms + count, wanted) != atoms + count;
}

} // namespace

bool active()
{
    return connection() != nullptr;
}

bool compositing()
{
    xcb_connection_t *c = connection();
    if (!c)
        return false;
    // The compositing manager of screen N owns the selection _NET_WM_CM_SN; Qt
    // works on the display's first screen.
    const xcb_atom_t selection = atom(c, "_NET_WM_CM_S0");
    if (selection == XCB_ATOM_NONE)
        return false;
    const Owned<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr), &std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}

std::uint32_t inputFocus()
{
    xcb_connection_t *c = connection();
    if (!c)
        return 0;
    const Owned<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr),
                                                   &std::free);
    // None and PointerRoot (0 and 1) name no window.
    return focus && focus->focus > XCB_INPUT_FOCUS_POINTER_ROOT ? focus->focus : 0;
}

bool giveFocus(std::uint32_t window)
{
    xcb_connection_t *c = connection();
    if (!c || window == 0 || !viewable(c, window))
        return false;
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    xcb_flush(c);
    return true;
}

std::uint32_t windowAbove(QWindow &window)
{
    xcb_connection_t *c = connection();
    if (!c)
        return 0;
    const xcb_window_t own = xcb_window_t(window.winId());
    std::vector<xcb_window_t> stacking = clientStacking(c);
    if (stacking.empty()) { // no window manager: the root's children, mapped ones only
        for (xcb_window_t w : rootStacking(c))
            if (w == own || viewable(c, w))
                stacking.push_back(w);
    }
    const auto at = std::find(stacking.begin(), stacking.end(), own);
    return at != stacking.end() && at + 1 != stacking.end() ? *(at + 1) : 0;
}

void restackBelow(QWindow &window, std::uint32_t sibling)
{
    xcb_connection_t *c = connection();
    if (!c || sibling == 0 || !viewable(c, sibling))
        return;
    const xcb_window_t own = xcb_window_t(window.winId());
    if (clientStacking(c).empty()) {
        const uint32_t values[] = {sibling, XCB_STACK_MODE_BELOW};
        xcb_configure_window(c, own, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    } else if (!supported(c, "_NET_RESTACK_WINDOW")) {
        // A window manager that places windows by no sibling (xfwm4 ignores one in
        // a configure request too) still lowers a window: below all the others,
        // never over the program the keys went back to.
        const uint32_t values[] = {XCB_STACK_MODE_BELOW};
        xcb_configure_window(c, own, XCB_CONFIG_WINDOW_STACK_MODE, values);
    } else {
        // Asked of the window manager, as a pager asks (source 2).
        xcb_client_message_event_t message = {};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = own;
        message.type = atom(c, "_NET_RESTACK_WINDOW");
        message.data.data32[0] = 2;
        message.data.data32[1] = sibling;
        message.data.data32[2] = XCB_STACK_MODE_BELOW;
        xcb_send_event(c, 0, rootOf(c), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&message));
    }
    xcb_flush(c);
}

void placeExactly(QWindow &window, const QRect &native)
{
    xcb_connection_t *c = connection();
    if (!c || !native.isValid())
        return;
    const uint32_t values[] = {uint32_t(native.x()), uint32_t(native.y()), uint32_t(native.width()),
                               uint32_t(native.height()), XCB_STACK_MODE_ABOVE};
    xcb_configure_window(c, xcb_window_t(window.winId()),
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT | XCB_CONFIG_WINDOW_STACK_MODE,
                         values);
    xcb_flush(c);
}

void stackBelow(QWindow &window, QWindow &over)
{
    xcb_connection_t *c = connection();
    if (!c)
        return;
    const xcb_window_t sibling = topLevel(c, xcb_window_t(over.winId()));
    const xcb_window_t own = xcb_window_t(window.winId());
    if (sibling == XCB_WINDOW_NONE || sibling == own || topLevel(c, own) != own)
        return;
    const uint32_t values[] = {sibling, XCB_STACK_MODE_BELOW};
    xcb_configure_window(c, own, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    xcb_flush(c);
}

void passPointerThrough(QWindow &window, bool on)
{
    xcb_connection_t *c = connection();
    if (!c)
        return;
    // XFixes wants its version asked before use; the answer is not needed.
    free(xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr));
    const auto id = xcb_window_t(window.winId());
    xcb_xfixes_region_t region = XCB_NONE; // none: the input shape is the window's own
    if (on) {
        region = xcb_generate_id(c);
        xcb_xfixes_create_region(c, region, 0, nullptr);
    }
    xcb_xfixes_set_window_shape_region(c, id, XCB_SHAPE_SK_INPUT, 0, 0, region);
    if (on)
        xcb_xfixes_destroy_region(c, region);
    xcb_flush(c);
}

} // namespace forms::x11
