#pragma once
// Ready-made halves of an event handler: the enabled query answered with 1, so a handler class
// only writes OnEvent. `Count` is the number of event interfaces the handler serves (one here).
#include "framework/kordo_ui.hpp"

#include <type_traits>

namespace PartialTemplateSpecializationForEvent {

template <class Event> class IDefaultEventImpl : public Event {
    static_assert(std::is_base_of<Kordo::IEvent, Event>::value, "an event interface");

  public:
    int IsEnabled() const override { return 1; }

  protected:
    ~IDefaultEventImpl() = default;
};

} // namespace PartialTemplateSpecializationForEvent

template <class Event, int Count>
class IEventImpl : public PartialTemplateSpecializationForEvent::IDefaultEventImpl<Event> {
    static_assert(Count == 1, "one event interface per handler");

  protected:
    ~IEventImpl() = default;
};
