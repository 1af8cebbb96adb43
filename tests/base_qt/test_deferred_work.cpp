// Window work asked for by events never runs inside one of the window's
// commands, even where the command processes events itself; it runs once
// from the event loop afterwards.
#include <QApplication>
#include <QPushButton>
#include <QtTest/QTest>
#include <string>
#include <vector>

#include "base/qt/deferred_work.h"
#include "base_qt/support_qt.h"

namespace zeb::qttest {
namespace {

using DeferredWorkTest = QtTest;

// Lets queued calls run, as the event loop does between two inputs.
void EventLoopTurn() {
  for (int i = 0; i < 3; ++i) QCoreApplication::sendPostedEvents();
}

TEST_F(DeferredWorkTest, RunsFromTheEventLoopOnceHoweverOftenAsked) {
  QObject owner;
  int runs = 0;
  auto* work = new DeferredWork(&owner, [&] { ++runs; });
  work->Request();
  work->Request();
  EXPECT_EQ(runs, 0);  // never inside the event that asks
  EXPECT_TRUE(work->Pending());
  EventLoopTurn();
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(work->Pending());
  EventLoopTurn();
  EXPECT_EQ(runs, 1);
}

TEST_F(DeferredWorkTest, WaitsForTheCommandThatProcessesEvents) {
  QObject owner;
  std::vector<std::string> order;
  DeferredWork* work = nullptr;
  work = new DeferredWork(&owner, [&] {
    order.push_back("work");
    // Asked again while it runs (its own table open activates the window
    // anew): not repeated.
    work->Request();
  });
  QPushButton button;
  QObject::connect(&button, &QPushButton::clicked, &owner, work->Command([&] {
    order.push_back("command");
    work->Request();                 // an activation inside the command
    EventLoopTurn();                 // the command's table open processes events
    QCoreApplication::processEvents();
    order.push_back("command goes on");
    EXPECT_EQ(work->Depth(), 1);
  }));
  button.click();
  EXPECT_EQ(order, (std::vector<std::string>{"command", "command goes on"}));
  EXPECT_TRUE(work->Pending());
  EventLoopTurn();
  EXPECT_EQ(order, (std::vector<std::string>{"command", "command goes on", "work"}));
  EventLoopTurn();
  EXPECT_EQ(order.size(), 3u);
  EXPECT_EQ(work->Depth(), 0);
}

TEST_F(DeferredWorkTest, CommandsNestAndTakeTheirSignalsArguments) {
  QObject owner;
  int runs = 0;
  DeferredWork work(&owner, [&] { ++runs; });
  std::vector<int> seen;
  auto withArgument = work.Command([&](int n) { seen.push_back(n); });
  auto withoutArgument = work.Command([&] {
    work.Request();
    withArgument(7);  // a nested command: the work still waits
    EventLoopTurn();
    EXPECT_EQ(runs, 0);
  });
  withoutArgument(true);  // a clicked(bool) handler that takes nothing
  EXPECT_EQ(seen, std::vector<int>{7});
  EXPECT_EQ(runs, 0);
  EventLoopTurn();
  EXPECT_EQ(runs, 1);
}

TEST_F(DeferredWorkTest, GoneWithItsWindow) {
  int runs = 0;
  {
    QObject owner;
    auto* work = new DeferredWork(&owner, [&] { ++runs; });
    work->Request();
  }
  EventLoopTurn();
  EXPECT_EQ(runs, 0);
}

}  // namespace
}  // namespace zeb::qttest
