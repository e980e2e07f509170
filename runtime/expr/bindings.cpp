#include "runtime/expr/bindings.h"

#include <algorithm>
#include <atomic>
#include <cassert>

namespace rt {

namespace {

std::atomic<std::uint64_t> nextGeneration{1};

std::uint64_t freshGeneration() { return nextGeneration.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

int RecordFields::fieldIndex(std::string_view label) const {
    for (std::size_t i = 0; i < fields_.size(); ++i)
        if (equalsNoCase(fields_[i].label, label)) return static_cast<int>(i);
    return -1;
}

void RecordFields::fieldValue(int index, Value& out) const {
    assert(index >= 0 && static_cast<std::size_t>(index) < fields_.size());
    const Field& f = fields_[static_cast<std::size_t>(index)];
    f.read(f.address, out);
}

Bindings::Bindings() : generation_(freshGeneration()) {}

void Bindings::touch() { generation_ = freshGeneration(); }

void Bindings::addVariable(std::string name, const void* address, ReadThunk read, std::function<void(Value&)> getter) {
    name = std::string(trimBlanks(name));
    assert(!name.empty());
    unbind(name);
    variables_.push_back(std::make_unique<Variable>(Variable{std::move(name), address, read, std::move(getter)}));
    touch();
}

void Bindings::bindValue(std::string name, std::function<void(Value&)> getter) {
    assert(getter);
    addVariable(std::move(name), nullptr, nullptr, std::move(getter));
}

void Bindings::bindFields(const FieldSource& source) {
    // Not owned: an empty deleter.
    bindFields(std::shared_ptr<const FieldSource>(&source, [](const FieldSource*) {}));
}

void Bindings::bindFields(std::shared_ptr<const FieldSource> source) {
    assert(source);
    unbindFields(*source);
    sources_.push_back(std::move(source));
    touch();
}

void Bindings::unbind(std::string_view name) {
    name = trimBlanks(name);
    auto it = std::remove_if(variables_.begin(), variables_.end(),
                             [&](const std::unique_ptr<Variable>& v) { return equalsNoCase(v->name, name); });
    if (it != variables_.end()) {
        variables_.erase(it, variables_.end());
        touch();
    }
}

void Bindings::unbindFields(const FieldSource& source) {
    auto it = std::remove_if(sources_.begin(), sources_.end(),
                             [&](const std::shared_ptr<const FieldSource>& s) { return s.get() == &source; });
    if (it != sources_.end()) {
        sources_.erase(it, sources_.end());
        touch();
    }
}

void Bindings::clear() {
    variables_.clear();
    sources_.clear();
    touch();
}

bool Bindings::resolve(std::string_view name, Target& target) const {
    for (const auto& v : variables_) {
        if (equalsNoCase(v->name, name)) {
            target = Target{};
            if (v->read) {
                target.address = v->address;
                target.read = v->read;
            } else {
                target.getter = &v->getter;
            }
            return true;
        }
    }
    for (auto it = sources_.rbegin(); it != sources_.rend(); ++it) {
        const int index = (*it)->fieldIndex(name);
        if (index >= 0) {
            target = Target{};
            target.source = it->get();
            target.index = index;
            return true;
        }
    }
    return false;
}

Bindings& threadBindings() {
    thread_local Bindings bindings;
    return bindings;
}

}  // namespace rt
