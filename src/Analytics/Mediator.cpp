#include "Analytics/Mediator.h"

#include "Analytics/Analytics.h"

#include <iterator>

namespace qor {

Mediator::Mediator() : entries_(std::make_shared<const List>()) {}

std::shared_ptr<const Mediator::List> Mediator::snapshot() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return entries_;
}

void Mediator::add(const std::shared_ptr<Plugin>& plugin) {
    if (!plugin) return;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        auto next = std::make_shared<List>(*entries_);
        next->push_back(Entry{plugin, dynamic_cast<DestinationPlugin*>(plugin.get()) != nullptr});
        entries_ = std::move(next);
        count_.store(entries_->size(), std::memory_order_release);
    }
    // The settings are read outside the lock: reading them waits for the store's queue.
    if (auto owner = plugin->analytics()) {
        if (auto settings = owner->settings()) plugin->update(*settings, UpdateType::initial);
    }
}

std::size_t Mediator::removeAll(const std::shared_ptr<Plugin>& plugin) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto next = std::make_shared<List>();
    std::size_t removed = 0;
    for (const auto& entry : *entries_) {
        if (entry.plugin == plugin) {
            ++removed;
        } else {
            next->push_back(entry);
        }
    }
    if (removed > 0) {
        entries_ = std::move(next);
        count_.store(entries_->size(), std::memory_order_release);
    }
    return removed;
}

std::optional<AnyRawEvent> Mediator::run(AnyRawEvent event) const { return runEntries(std::move(event), true); }

void Mediator::runToEnd(AnyRawEvent event) const { runEntries(std::move(event), false); }

std::optional<AnyRawEvent> Mediator::runEntries(AnyRawEvent event, bool resultNeeded) const {
    const auto entries = snapshot();
    std::optional<AnyRawEvent> result(std::move(event));
    for (auto entry = entries->begin(); entry != entries->end(); ++entry) {
        if (!result) break;
        if (entry->isDestination) {
            if (!resultNeeded && std::next(entry) == entries->end()) {
                // Nobody sees the event after the last destination: it may have it.
                entry->plugin->execute(std::move(*result));
                return std::nullopt;
            }
            // A destination works on its own copy; whatever it does, the next plugin sees
            // the same event.
            entry->plugin->execute(*result);
            continue;
        }
        const std::size_t kind = result->index();
        result = entry->plugin->execute(std::move(*result));
        if (result && result->index() != kind) result.reset();
    }
    return result;
}

std::vector<std::shared_ptr<Plugin>> Mediator::plugins() const {
    const auto entries = snapshot();
    std::vector<std::shared_ptr<Plugin>> result;
    result.reserve(entries->size());
    for (const auto& entry : *entries) result.push_back(entry.plugin);
    return result;
}

}  // namespace qor
