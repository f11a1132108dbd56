// The window's maintenance and test buttons run as the command line's
// requests do (`dovevid printer feed` is {"printer", "feed"}): through the
// server's queue, so a button pressed during a job waits for the job's answer
// instead of cutting into its receipt. What the server reports goes to the
// operator; the controls are reloaded after every answer.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "base/operator.h"
#include "job/server.h"

class QPushButton;

namespace dovevid::gui {

class ServerRequests : public QObject {
  Q_OBJECT

 public:
  using Request = std::vector<std::string>;

  ServerRequests(job::Server& server, Operator& op, QObject* parent = nullptr);

  // Sends `request`; `done` (optional) runs with the reply.
  void Send(Request request, std::function<void(const job::ControlReply&)> done = nullptr);

  // A button named `name` that sends what `make` builds when clicked (nothing
  // when it builds an empty request). It stays disabled until the answer,
  // unless the server itself `enables` it (the test-receipt button).
  enum class Enabling { kUntilAnswer, kByServer };
  QPushButton* Button(const char* name, const QString& caption, const QString& tip,
                      std::function<Request()> make, Enabling enabling = Enabling::kUntilAnswer);
  QPushButton* Button(const char* name, const QString& caption, const QString& tip, Request request,
                      Enabling enabling = Enabling::kUntilAnswer) {
    return Button(
        name, caption, tip, [request] { return request; }, enabling);
  }

 signals:
  // A reply arrived: the record may have changed.
  void answered();

 private:
  job::Server& server_;
  Operator& op_;
};

// The operator's texts in a reply's standard error, without the command
// line's "dovevid: " prefix.
std::vector<std::string> ReplyMessages(const job::ControlReply& reply);

}  // namespace dovevid::gui
