#pragma once
// Hosted controls: objects created by ProgID from a factory registry and driven through
// automation by member name. Values travel as AutoValue; members may name sub-objects
// ("Fields"), which come back as AutoValue objects.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace rt {

class AutomationObject;

class AutoValue {
public:
    enum class Type { Empty, Bool, Int, Double, Text, Object };

    AutoValue() = default;
    AutoValue(bool v) : v_(v) {}
    AutoValue(int v) : v_(static_cast<std::int64_t>(v)) {}
    AutoValue(long v) : v_(static_cast<std::int64_t>(v)) {}
    AutoValue(long long v) : v_(static_cast<std::int64_t>(v)) {}
    AutoValue(unsigned v) : v_(static_cast<std::int64_t>(v)) {}
    AutoValue(double v) : v_(v) {}
    AutoValue(std::string v) : v_(std::move(v)) {}
    AutoValue(std::string_view v) : v_(std::string(v)) {}
    AutoValue(const char* v) : v_(std::string(v)) {}
    AutoValue(std::shared_ptr<AutomationObject> v) : v_(std::move(v)) {}

    Type type() const { return static_cast<Type>(v_.index()); }
    bool isEmpty() const { return type() == Type::Empty; }

    // Conversions as a container makes them: text that is no number reads 0, a number becomes
    // its shortest text, an object converts to nothing.
    bool toBool() const;
    std::int64_t toInt() const;
    double toDouble() const;
    std::string toText() const;
    std::shared_ptr<AutomationObject> toObject() const;

    bool operator==(const AutoValue& other) const = default;

private:
    std::variant<std::monostate, bool, std::int64_t, double, std::string, std::shared_ptr<AutomationObject>> v_;
};

// A member call that failed (unknown member, bad argument, failure inside the control).
class AutomationError : public std::runtime_error {
public:
    explicit AutomationError(const std::string& what, long code = -1) : std::runtime_error(what), code_(code) {}
    long code() const { return code_; }

private:
    long code_;
};

class AutomationObject {
public:
    virtual ~AutomationObject() = default;
    // Property read; args for indexed properties ("DataValue(r, c)", "Fields(i)").
    virtual AutoValue get(std::string_view name, const std::vector<AutoValue>& args = {}) = 0;
    virtual void set(std::string_view name, const AutoValue& value, const std::vector<AutoValue>& args = {}) = 0;
    virtual AutoValue call(std::string_view method, const std::vector<AutoValue>& args = {}) = 0;
    // OLE verbs (−7: property pages); false when the control has none.
    virtual bool doVerb(int verb) { return false; }
};

using ControlFactory = std::function<std::shared_ptr<AutomationObject>()>;

void registerControlFactory(std::string progId, ControlFactory factory);
void unregisterControlFactory(std::string_view progId);
// A new object of the registered ProgID (case-insensitive), null when none is registered or the
// factory fails.
std::shared_ptr<AutomationObject> createAutomationObject(std::string_view progId);

// Dotted member paths as the program writes them: "Fields.Count", "FilteredFieldFont.Italic",
// "Fields.Add". Every part but the last is read with get() and must give an object.
AutoValue automationGet(AutomationObject& object, std::string_view path, const std::vector<AutoValue>& args = {});
void automationSet(AutomationObject& object, std::string_view path, const AutoValue& value,
                   const std::vector<AutoValue>& args = {});
AutoValue automationCall(AutomationObject& object, std::string_view path, const std::vector<AutoValue>& args = {});

}  // namespace rt
