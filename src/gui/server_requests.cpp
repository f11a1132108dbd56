#include "gui/server_requests.h"

#include <QPointer>
#include <QPushButton>

#include "base/text.h"

namespace dovevid::gui {

std::vector<std::string> ReplyMessages(const job::ControlReply& reply) {
  std::vector<std::string> messages;
  for (const std::string& line : SplitAnyLineEnd(reply.err)) {
    if (!Trim(line).empty())
      messages.push_back(line.rfind("dovevid: ", 0) == 0 ? line.substr(9) : line);
  }
  return messages;
}

ServerRequests::ServerRequests(job::Server& server, Operator& op, QObject* parent)
    : QObject(parent), server_(server), op_(op) {}

void ServerRequests::Send(Request request, std::function<void(const job::ControlReply&)> done) {
  // The reply may come after a job, or at shutdown when this is gone.
  QPointer<ServerRequests> self(this);
  server_.HandleRequest(std::move(request), [self, done](const job::ControlReply& reply) {
    if (!self) return;
    // Messages the server already showed come again here; the operator
    // keeps one box per text.
    for (const std::string& m : ReplyMessages(reply)) self->op_.ShowMessage(m);
    if (done) done(reply);
    emit self->answered();
  });
}

QPushButton* ServerRequests::Button(const char* name, const QString& caption, const QString& tip,
                                    std::function<Request()> make, Enabling enabling) {
  auto* button = new QPushButton(caption);
  button->setObjectName(QString::fromLatin1(name));
  button->setToolTip(tip);
  connect(button, &QPushButton::clicked, this, [this, button, make, enabling] {
    Request request = make();
    if (request.empty()) return;
    if (enabling == Enabling::kByServer) return Send(std::move(request));
    button->setEnabled(false);
    QPointer<QPushButton> guard(button);
    Send(std::move(request), [guard](const job::ControlReply&) {
      if (guard) guard->setEnabled(true);
    });
  });
  return button;
}

}  // namespace dovevid::gui
