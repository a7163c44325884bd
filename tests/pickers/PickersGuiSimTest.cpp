// The two pickers as controls: when they fill, what they show, their images.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include "pickers/controls/Velmar_SidResBitmap.h"
#include "pickers/controls/Velmar_SidSourceComboBox.h"
#include "pickers/controls/Velmar_UsersComboBox.h"
#include "tests/support/SimFixture.h"

namespace {

using PickersGuiSim = tavrin::test::SimTest;

// Turns the event loop until the picker's fill has ended; false after 20 s or more.
bool Filled(TvmUsersComboBox* box) {
  for (int i = 0; i < 10000 && box->Filling(); ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(2);
  }
  return !box->Filling();
}

TEST_F(PickersGuiSim, UsersPickerFillsWhenPlacedAndLoadedAndKeepsTheSelectedNumber) {
  QWidget form;
  auto* box = new TvmUsersComboBox();
  box->SetDomain("CORP");  // no parent window: nothing is filled
  box->setParent(&form);   // still loading
  box->SetServer("DC01");
  EXPECT_EQ(box->count(), 0);
  EXPECT_EQ(sim::CountCalls("NetUserEnum"), 0u);
  box->Loaded();
  // Until the fill ends, "Filling..." is the only item, and it cannot be chosen.
  EXPECT_TRUE(box->Filling());
  ASSERT_EQ(box->count(), 1);
  EXPECT_EQ(box->itemText(0), "Filling...");
  EXPECT_FALSE(box->model()->flags(box->model()->index(0, 0)) & Qt::ItemIsEnabled);
  EXPECT_EQ(box->SelectedSid(), nullptr);
  ASSERT_TRUE(Filled(box));
  ASSERT_GT(box->count(), 5);
  for (int i = 0; i < box->count(); ++i)
    EXPECT_EQ(box->itemText(i).toStdString(), box->UserInfo(i)->Name());
  EXPECT_EQ(box->ItemHeight(), std::max(22, box->TextHeight()));
  // Nothing was selected before the first fill, so nothing is after it.
  EXPECT_EQ(box->SelectedSid(), nullptr);
  box->setCurrentIndex(5);
  EXPECT_EQ(box->SelectedSid(), box->UserInfo(5)->Sid());

  // Once loaded, every write fills again (the same value too), keeping the number, no click.
  QSignalSpy clicks(box, &QComboBox::activated);
  const size_t before = sim::CountCalls("NetUserEnum");
  box->SetServer("DC01");
  ASSERT_TRUE(Filled(box));
  EXPECT_GT(sim::CountCalls("NetUserEnum"), before);
  box->SetShowFullName(true);
  EXPECT_EQ(box->currentIndex(), 5);
  EXPECT_EQ(box->itemText(5).toStdString(),
            box->UserInfo(5)->Domain() + "\\" + box->UserInfo(5)->Name());
  box->SetDomain("WS01");  // this computer's list is shorter
  box->SetServer("");      // replaces the fill under way
  ASSERT_TRUE(Filled(box));
  EXPECT_EQ(box->currentIndex(), 5);
  EXPECT_EQ(clicks.count(), 0);

  // The filter keeps the groups only; the position beyond them selects nothing.
  box->setCurrentIndex(box->count() - 1);
  box->SetFilter({stGroup});
  ASSERT_TRUE(Filled(box));
  EXPECT_EQ(box->currentIndex(), -1);
  EXPECT_EQ(box->SelectedSid(), nullptr);
  for (int i = 0; i < box->count(); ++i) EXPECT_EQ(box->UserInfo(i)->SidType(), stGroup);
}

TEST_F(PickersGuiSim, UsersPickerFillsOnItsOwnThreadAndMayGoAnyTime) {
  QWidget form;
  auto* box = new TvmUsersComboBox(&form);
  QSignalSpy filled(box, &TvmUsersComboBox::Filled);
  box->SetServer("DC01");
  box->SetDomain("CORP");
  box->Loaded();
  box->SetFilter({stUser});
  // A later fill replaces one whose result the window has not taken yet: only it is shown.
  QThread::msleep(500);
  box->SetFilter(TvmUserList::DefaultFilter());
  sim::SetLatency(std::chrono::milliseconds(2));
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(0);
  ASSERT_TRUE(Filled(box));
  EXPECT_GT(ticks, 10);  // the window kept turning meanwhile
  QCoreApplication::processEvents();
  EXPECT_EQ(filled.count(), 1);
  const int operators = box->findText("Operators");
  ASSERT_GE(operators, 0);
  EXPECT_EQ(box->UserInfo(operators)->SidType(), stGroup);

  // Destroyed during a fill: gone at once, its thread stops before its next call.
  sim::SetLatency(std::chrono::milliseconds(100));
  box->SetServer("DC01");
  QThread::msleep(250);
  ASSERT_TRUE(box->Filling());
  QElapsedTimer clock;
  clock.start();
  delete box;
  EXPECT_LT(clock.elapsed(), TvmUsersComboBox::FillLingerMilliseconds);
  const size_t calls = sim::Calls().size();
  QThread::msleep(100);
  QCoreApplication::processEvents();
  EXPECT_EQ(sim::Calls().size(), calls);
}

TEST_F(PickersGuiSim, ImagesAreDrawnCentredAndTheSourcePickerFills) {
  // Every image a picker can show: 20 x 20, bottom-left see-through, a picture on it.
  std::vector<const QImage*> images = {PickerBitmap("SID_SOURCE_COMPUTER"),
                                       PickerBitmap("SID_SOURCE_DOMAIN")};
  // Every account has one, whatever its kind.
  for (int wk = wkOther; wk <= wkReplicatorAlias; ++wk)
    for (int type = 0; type < SidTypeCount; ++type)
      images.push_back(GetSidBitmap(TvmWellKnownSid(wk), TvmSidType(type)));
  for (const QImage* image : images) {
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->size(), QSize(20, 20));
    EXPECT_EQ(qAlpha(image->pixel(0, 19)), 0);
    int opaque = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x) opaque += qAlpha(image->pixel(x, y)) == 255;
    EXPECT_GT(opaque, 40);
  }
  EXPECT_EQ(GetSidBitmap(wkAdminsAlias, stAlias), PickerBitmap("SID_ADMINS"));
  EXPECT_EQ(GetSidBitmap(wkOther, stUser), PickerBitmap("SID_USER"));
  EXPECT_EQ(GetSidBitmap(wkOther, stAlias), PickerBitmap("SID_GROUP"));
  EXPECT_EQ(GetSidBitmap(wkOther, stDomain), PickerBitmap("SID_SOURCE_DOMAIN"));

  // The account picker draws the entry's image centred in the 24 x 22 cell.
  QWidget form;
  TvmUsersComboBox box(&form);
  box.Loaded();
  box.SetDomain("WS01");
  ASSERT_TRUE(Filled(&box));
  const int everyone = box.findText("Everyone");
  ASSERT_GE(everyone, 0);
  QImage canvas(300, 22, QImage::Format_ARGB32);
  canvas.fill(QColor(1, 2, 3));
  {
    QPainter painter(&canvas);
    box.DrawItemRequest(&painter, everyone, QRect(0, 0, 300, 22), QStyle::State_None);
  }
  // Its see-through pixels show the ground, the others are the image's.
  QImage expected(20, 20, QImage::Format_ARGB32);
  expected.fill(QColor(1, 2, 3));
  QPainter(&expected).drawImage(0, 0, *PickerBitmap("SID_WORLD"));
  EXPECT_EQ(canvas.copy(2, 1, 20, 20), expected);

  // The source picker fills when loaded and for a new parent window.
  QWidget other;
  auto& sources = *new TvmSidSourceComboBox(&form);
  EXPECT_EQ(sources.count(), 0);
  sources.Loaded();
  ASSERT_EQ(sources.count(), 2);
  EXPECT_EQ(sources.itemText(0) + "|" + sources.itemText(1), "WS01|CORP");
  EXPECT_EQ(sources.ItemHeight(), std::max(22, sources.TextHeight()));
  const size_t enumerations = sim::CountCalls("NetServerEnum");
  sources.setParent(&other);
  EXPECT_GT(sim::CountCalls("NetServerEnum"), enumerations);
}

}  // namespace
