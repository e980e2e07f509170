#include "pivot/nova_source.h"

#include <cctype>
#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <unistd.h>

#include "dataengine/nova_odbc.h"
#include "runtime/ole/ole.h"
#include "runtime/text/strings.h"

namespace pivot {

namespace {

std::mutex gLibMutex;
std::string gLibPath;
void* gLib = nullptr;

std::string programDir() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

// The library stays loaded for the life of the process, as the engine keeps the driver manager.
FODBC_CreateEngine_t engineExport(std::string& error) {
    std::lock_guard lock(gLibMutex);
    if (!gLib) {
        std::vector<std::string> tries;
        if (!gLibPath.empty()) {
            tries.push_back(gLibPath);
        } else {
            std::string dir = programDir();
            if (!dir.empty()) {
                tries.push_back(dir + "/libNovaODBC3.so");
                tries.push_back(dir + "/../lib/libNovaODBC3.so");
            }
            tries.push_back("libNovaODBC3.so");
        }
        for (auto& t : tries) {
            if (t.find('/') != std::string::npos && !std::filesystem::exists(t)) continue;
            gLib = dlopen(t.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (gLib) break;
            const char* e = dlerror();
            error = e ? e : "libNovaODBC3.so";
        }
        if (!gLib) {
            if (error.empty()) error = "Die Datenbank-Engine libNovaODBC3.so wurde nicht gefunden.";
            return nullptr;
        }
    }
    auto f = reinterpret_cast<FODBC_CreateEngine_t>(dlsym(gLib, NOVA_EXPORT_NAME));
    if (!f) error = "libNovaODBC3.so: " NOVA_EXPORT_NAME " fehlt.";
    return f;
}

template <typename Slots>
const Slots* slots(void* o) {
    return *static_cast<const Slots* const*>(o);
}

// One count on an engine object, released at the end of its scope (children before parents,
// as the engine requires: declare parents first).
class Ref {
public:
    Ref() = default;
    ~Ref() { reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    void** out() {
        reset();
        return &p_;
    }
    void* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() {
        if (p_) slots<RtDispatchSlots>(p_)->Release(p_);
        p_ = nullptr;
    }

private:
    void* p_ = nullptr;
};

VARIANT number(int16_t v) {
    VARIANT x;
    rtVariantInit(&x);
    x.vt = VT_I2;
    x.iVal = v;
    return x;
}

VARIANT none() {
    VARIANT x;
    rtVariantInit(&x);
    return x;
}

std::string newestError(void* engine, const char* fallback) {
    Ref errs;
    if (slots<NovaEngineSlots>(engine)->Errors(engine, errs.out()) == S_OK && errs) {
        int32_t n = 0;
        slots<NovaErrorsSlots>(errs.get())->Count(errs.get(), &n);
        if (n > 0) {
            Ref e;
            if (slots<NovaErrorsSlots>(errs.get())->Item(errs.get(), number(0), e.out()) == S_OK && e) {
                rt::ole::Bstr d;
                slots<NovaErrorSlots>(e.get())->Description(e.get(), d.out());
                std::string text = d.utf8();
                e.reset();
                slots<NovaErrorsSlots>(errs.get())->Clear(errs.get());
                if (!text.empty()) return text;
            }
        }
    }
    return fallback;
}

// SQL types whose values arrive as numbers, or as text that is a number.
bool numericType(int16_t t) {
    switch (t) {
    case 2:
    case 3:
    case -5:  // NUMERIC, DECIMAL, BIGINT: text
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case -6:
    case -7: return true;
    default: return false;
    }
}

}  // namespace

std::string statementBody(const std::string& sql) {
    std::string_view body = rt::trimBlanks(sql);
    while (!body.empty() && (body.back() == ';' || std::isspace(static_cast<unsigned char>(body.back())) != 0))
        body.remove_suffix(1);
    return std::string(body);
}

std::string narrowedStatement(const std::string& sql, const std::vector<std::string>& columns) {
    const std::string body = statementBody(sql);
    if (columns.empty() || body.empty()) return {};
    std::string list;
    for (const std::string& c : columns) {
        // A name the engine qualified or cut is no name of the statement's table.
        if (c.empty() || c.find('.') != std::string::npos) return {};
        if (!list.empty()) list += ", ";
        list += '"';
        for (char ch : c) list += ch == '"' ? std::string("\"\"") : std::string(1, ch);
        list += '"';
    }
    return "SELECT " + list + " FROM (" + body + "\n) AS voq_source";
}

void setEngineLibrary(std::string path) {
    std::lock_guard lock(gLibMutex);
    gLibPath = std::move(path);
}

std::string streamingConnect(const std::string& connect) {
    std::string d = connect;
    for (char& ch : d) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    if (d.find("sqlite") != std::string::npos && d.find("stepapi") == std::string::npos) return connect + ";StepAPI=1";
    if ((d.find("postgres") != std::string::npos || d.find("psqlodbc") != std::string::npos) &&
        d.find("usedeclarefetch") == std::string::npos)
        return connect + ";UseDeclareFetch=1;Fetch=1000";
    return connect;
}

ReadResult readThroughEngine(const std::string& connect, const std::string& sql, ColumnStore& store,
                             const ReadOptions& options) {
    store.clear();
    ReadResult r;
    auto create = engineExport(r.error);
    if (!create) return r;

    Ref engine;
    *engine.out() = create();
    if (!engine) {
        r.error = "Die Datenbank-Engine konnte nicht angelegt werden.";
        return r;
    }
    Ref env;
    {
        rt::ole::Bstr name(std::string_view("Default_Environment")), empty(std::string_view(""));
        if (slots<NovaEngineSlots>(engine.get())
                    ->CreateEnvironment(engine.get(), name.get(), empty.get(), empty.get(), env.out()) != S_OK ||
            !env) {
            r.error = newestError(engine.get(), "ODBC-Umgebung nicht verfügbar");
            return r;
        }
    }
    Ref conn;
    rt::ole::Bstr connectText(streamingConnect(connect)), noName(std::string_view(""));
    // No prompt: the control runs without a dialog of the driver.
    if (slots<NovaEnvironmentSlots>(env.get())->OpenConnection(env.get(), noName.get(), number(0), none(), 0,
                                                               connectText.get(), 0, conn.out()) != S_OK ||
        !conn) {
        r.error = newestError(engine.get(), "Verbindung fehlgeschlagen");
        return r;
    }
    struct Closer {
        void* c;
        ~Closer() { slots<NovaConnectionSlots>(c)->Close(c); }
    } closer{conn.get()};

    // The resultset keeps the statement text by reference: it lives until the resultset is gone.
    rt::ole::Bstr sqlText;
    Ref rs;
    auto open = [&](const std::string& text) {
        sqlText = rt::ole::Bstr(text);
        return slots<NovaConnectionSlots>(conn.get())
                       ->OpenResultset(conn.get(), sqlText.get(), number(0), number(1), none(), rs.out()) == S_OK &&
               rs;
    };
    // The names and kinds of the columns of the open resultset.
    auto describe = [&](ColumnStore& names) {
        Ref cols;
        if (slots<NovaResultsetSlots>(rs.get())->Columns(rs.get(), cols.out()) != S_OK || !cols) return false;
        int32_t n = 0;
        slots<NovaColumnsSlots>(cols.get())->Count(cols.get(), &n);
        for (int32_t i = 0; i < n; ++i) {
            Ref col;
            if (slots<NovaColumnsSlots>(cols.get())->Item(cols.get(), number(int16_t(i)), col.out()) != S_OK || !col)
                break;
            rt::ole::Bstr name;
            int16_t type = 0;
            slots<NovaColumnSlots>(col.get())->Name(col.get(), name.out());
            slots<NovaColumnSlots>(col.get())->Type(col.get(), &type);
            names.addColumn(name.utf8(), numericType(type));
        }
        return true;
    };

    // Only the columns asked for, when the server takes the statement as a table of its own: the
    // driver then makes no value that nobody reads. Their names come from the statement run
    // without rows; where any step is refused, the statement runs as it is.
    bool opened = false;
    std::vector<std::string> passedOver;
    if (options.wanted && open("SELECT * FROM (" + statementBody(sql) + "\n) AS voq_source WHERE 1 = 0")) {
        ColumnStore names;
        const bool described = describe(names);
        rs.reset();
        if (described) {
            const std::vector<bool> wanted = options.wanted(names);
            std::vector<std::string> columns;
            for (size_t i = 0; i < names.columns().size(); ++i)
                (i < wanted.size() && wanted[i] ? columns : passedOver).push_back(names.column(i).name);
            const std::string narrowed = passedOver.empty() ? std::string() : narrowedStatement(sql, columns);
            opened = !narrowed.empty() && open(narrowed);
        }
    }
    if (!opened) {
        passedOver.clear();
        newestError(engine.get(), "");  // what the attempts left
        if (!open(sql)) {
            r.error = newestError(engine.get(), "Abfrage fehlgeschlagen");
            return r;
        }
    }

    // Per result column: its column in the store, or -1 when it is not read.
    std::vector<int> target;
    {
        ColumnStore names;
        if (!describe(names)) {
            r.error = newestError(engine.get(), "Spalten nicht lesbar");
            return r;
        }
        std::vector<bool> wanted = options.wanted ? options.wanted(names) : std::vector<bool>();
        for (size_t i = 0; i < names.columns().size(); ++i) {
            const Column& c = names.column(i);
            if (!options.wanted || (i < wanted.size() && wanted[i])) {
                target.push_back(int(store.addColumn(c.name, c.numeric)));
            } else {
                target.push_back(-1);
                store.addUnreadColumn(c.name);
            }
        }
        for (std::string& name : passedOver) store.addUnreadColumn(std::move(name));
    }

    const size_t ncol = target.size();
    std::string text;  // one buffer for every text cell
    for (;;) {
        VARIANT out;
        rtVariantInit(&out);
        if (slots<NovaResultsetSlots>(rs.get())->GetRows(rs.get(), number(1), &out) != S_OK) {
            rtVariantClear(&out);
            break;
        }
        if (out.vt == (VT_ARRAY | VT_VARIANT) && out.parray) {
            SAFEARRAY* psa = out.parray;
            auto* cells = static_cast<VARIANT*>(psa->pvData);
            size_t have = psa->rgsabound[1].cElements;
            for (size_t i = 0; i < ncol; ++i) {
                if (target[i] < 0) continue;
                const size_t c = size_t(target[i]);
                const VARIANT* v = i < have ? &cells[i] : nullptr;
                if (!v || v->vt == VT_NULL || v->vt == VT_EMPTY) {
                    store.appendNull(c);
                    continue;
                }
                auto addNumber = [&](double d) {
                    if (store.column(c).numeric) {
                        store.appendNumber(c, d);
                    } else {
                        char buf[32];
                        std::snprintf(buf, sizeof buf, "%.15g", d);
                        store.appendText(c, buf);
                    }
                };
                switch (v->vt) {
                case VT_BSTR:
                    rt::ole::utf16ToUtf8(rt::ole::bstrView(v->bstrVal), text);
                    store.appendText(c, text);
                    break;
                case VT_I2: addNumber(v->iVal); break;
                case VT_I4: addNumber(v->lVal); break;
                case VT_UI1: addNumber(v->bVal); break;
                case VT_R8: addNumber(v->dblVal); break;
                case VT_R4: addNumber(v->fltVal); break;
                default: store.appendNull(c); break;
                }
            }
            store.finishRow();
            if (options.progress && store.rowCount() % kProgressRows == 0) options.progress(store.rowCount());
        }
        rtVariantClear(&out);
    }
    if (options.progress) options.progress(store.rowCount());
    // The end of the data adds no error; anything in the collection now is a failed fetch.
    std::string fetchError = newestError(engine.get(), "");
    if (!fetchError.empty()) {
        store.clear();
        r.error = fetchError;
        return r;
    }
    r.ok = true;
    return r;
}

}  // namespace pivot
