#include "build/ActionFlow.h"

#include "build/ActionCode.h"
#include "i18n/TextTable.h"
#include "script/ActionCatalogue.h"
#include "script/ActionTable.h"
#include "script/ArgumentKinds.h"
#include "script/EventTable.h"
#include "script/Fitting.h"

namespace vorlune::build {
namespace {

using script::ActionShape;

void appendLine(QByteArray &bytes, const QString &line)
{
    bytes += line.toUtf8();
    bytes += "\r\n";
}

// The variables a delayed rest of the list needs from where it was made.
QString useList(Body body, unsigned given)
{
    QStringList names;
    if (body == Body::Handler)
        names << QStringLiteral("$event");
    if (body == Body::Command)
        names << QStringLiteral("$sender") << QStringLiteral("$args");
    if (given & script::kPlayer)
        names << QStringLiteral("$player");
    return names.isEmpty() ? QString() : QStringLiteral(" use (") + names.join(QStringLiteral(", ")) + u')';
}

} // namespace

void writeActions(QByteArray &bytes, const script::EventRow &event, const std::vector<ActionPiece> &pieces,
                  script::Api api, Body body, QStringList &faults)
{
    const unsigned everywhere = script::givenEverywhere(event);
    const unsigned onApi = event.on(api).gives;
    script::Reach reach;
    // What ends the rest of the list where a guard stands.
    QString leave = body == Body::Command ? QStringLiteral("return true;") : QStringLiteral("return;");
    QStringList closers;
    for (const ActionPiece &piece : pieces) {
        if (!piece.action) {
            bytes += piece.code;
            continue;
        }
        const script::ActionRow &action = *piece.action;
        QString fault = script::buildFault(action, event, api, reach.given(everywhere));
        if (fault.isEmpty())
            fault = script::argumentFault(action, i18n::tx(event.name), actionArguments(action, piece.args));
        if (!fault.isEmpty()) {
            faults << fault;
            continue;
        }
        const QString code = QString::fromLatin1(action.on(api));
        switch (action.shape) {
        case ActionShape::Statement:
        case ActionShape::Guard:
            appendLine(bytes, actionStatement(action, event, api, piece.args, reach.given(onApi), leave));
            break;
        case ActionShape::Delay: {
            const unsigned given = reach.given(onApi);
            appendLine(bytes, QString(code).replace(QStringLiteral("%u"), useList(body, given)));
            // The player may have left while the rest waited.
            if (given & script::kPlayer)
                appendLine(bytes, QStringLiteral("if(!$player->isOnline()){ return; }"));
            const qint64 seconds =
                script::numberValue(action.kinds[0], script::getArgumentValue(piece.args, 1)).value_or(1);
            closers.prepend(QStringLiteral("}), %1);").arg(seconds * 20));
            leave = QStringLiteral("return;");
            break;
        }
        case ActionShape::EachPlayer:
            appendLine(bytes, code);
            closers.prepend(QStringLiteral("}"));
            leave = QStringLiteral("continue;");
            break;
        }
        reach.after(action, piece.args);
    }
    for (const QString &closer : closers)
        appendLine(bytes, closer);
}

} // namespace vorlune::build
