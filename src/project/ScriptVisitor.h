#pragma once

#include <QString>

namespace vorlune::project {

class XmlElement;

// Told what the main-script element holds, in document order. The code
// generator and the plugin check read a main script this way, whether it
// comes from an open document or straight from a file.
class ScriptVisitor {
public:
    virtual ~ScriptVisitor() = default;
    // A child element of the main script, by name (an event id, or not),
    // with its `args` attribute (the settings of a command or timer) and the
    // line of its start tag in the file (0 when not known).
    virtual void event(const QString &name, const QString &args, int line) = 0;
    // A child element of the last event, by its `id` and `args` attributes
    // (a missing one reads as the empty text).
    virtual void action(const QString &id, const QString &args) = 0;
};

// Tells the visitor the children of mainScript and theirs.
void visitMainScript(const XmlElement &mainScript, ScriptVisitor &visitor);

// Tells two visitors the same script.
class BothVisitors final : public ScriptVisitor {
public:
    BothVisitors(ScriptVisitor &first, ScriptVisitor &second) : m_first(first), m_second(second) {}
    void event(const QString &name, const QString &args, int line) override
    {
        m_first.event(name, args, line);
        m_second.event(name, args, line);
    }
    void action(const QString &id, const QString &args) override
    {
        m_first.action(id, args);
        m_second.action(id, args);
    }

private:
    ScriptVisitor &m_first;
    ScriptVisitor &m_second;
};

} // namespace vorlune::project
