// Event_Post + Event_Take against a std::deque of the same record. The queue is the event
// library's own code, gui/event_queue.cpp, built natively. Two patterns: one event posted and
// taken at a time (a button press), and a burst of eight distinct events posted, then taken.
#include <benchmark/benchmark.h>

#include <deque>

#include "bench/common.h"
#include "gui/event_queue.h"

namespace {

// The current event that a take leaves behind, as the library keeps it.
struct Current {
  int32_t code;
  intptr_t windowNumber;
  intptr_t object;
  int32_t type;
  intptr_t data;
  EventDataFreeFn dataFree;
};

struct DequeQueue {
  std::deque<EventNode> queue;
  Current current = {0, 0, 0, -1, 0, nullptr};

  void post(int32_t code, intptr_t object, intptr_t windowNumber, int32_t type) {
    EventNode node = {};
    node.code = code;
    node.object = object;
    node.windowNumber = windowNumber;
    node.type = type;
    queue.push_back(node);
  }
  int32_t take() {
    current.code = 0;
    current.type = -1;
    if (!queue.empty()) {
      const EventNode& node = queue.front();
      current =
          Current{node.code, node.windowNumber, node.object, node.type, node.data, node.dataFree};
      queue.pop_front();
    }
    return current.code;
  }
};

template <int Burst>
void eventsOurs(benchmark::State& state) {
  bench::startRuntimeCore();
  EventQueue_Start();
  intptr_t object = 0;
  for (auto _ : state) {
    for (int i = 0; i < Burst; i++) Event_Post(EVENT_GADGET, object + i, 0, 0, 0, nullptr, 0);
    for (int i = 0; i < Burst; i++) benchmark::DoNotOptimize(Event_Take());
    benchmark::DoNotOptimize(Event_Gadget());
    object = (object + 1) & 15;
  }
  EventQueue_End();
  bench::endRuntimeCore();
}
BENCHMARK_TEMPLATE(eventsOurs, 1)->Name("event_post_take:ours");
BENCHMARK_TEMPLATE(eventsOurs, 8)->Name("event_post_take_8:ours");

template <int Burst>
void eventsBase(benchmark::State& state) {
  DequeQueue q;
  intptr_t object = 0;
  for (auto _ : state) {
    for (int i = 0; i < Burst; i++) q.post(EVENT_GADGET, object + i, 0, 0);
    for (int i = 0; i < Burst; i++) benchmark::DoNotOptimize(q.take());
    benchmark::DoNotOptimize(q.current.object);
    object = (object + 1) & 15;
  }
}
BENCHMARK_TEMPLATE(eventsBase, 1)->Name("event_post_take:base");
BENCHMARK_TEMPLATE(eventsBase, 8)->Name("event_post_take_8:base");

}  // namespace
