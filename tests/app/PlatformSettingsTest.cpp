#include "app/platform/QtSettings.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace hollin {
namespace {

TEST(QtSettings, ValuesSurviveAndChangesFromOtherWritersShowAtOnce) {
  QTemporaryDir folder;
  QString path = folder.filePath("Hollin.conf");
  QtSettings settings(path);
  EXPECT_EQ(settings.boolean(hasOpenedKey), std::nullopt);
  settings.setBoolean(hasOpenedKey, true);
  EXPECT_EQ(QtSettings(path).boolean(hasOpenedKey), true);
  // The set-up command writes through its own object; the running one sees it.
  QtSettings(path).setBoolean(shareResponseStatusKey, true);
  EXPECT_EQ(settings.boolean(shareResponseStatusKey), true);
}

TEST(QtSettings, HandEditedValuesThatAreNotBooleansReadAsUnset) {
  QTemporaryDir folder;
  QString path = folder.filePath("Hollin.conf");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("[General]\nhasOpened=yes\nshareResponseStatus=false\nsetupGuideCompleted=1\n");
  file.close();
  QtSettings settings(path);
  EXPECT_EQ(settings.boolean(hasOpenedKey), std::nullopt);
  EXPECT_EQ(settings.boolean(shareResponseStatusKey), false);
  EXPECT_EQ(settings.boolean("setupGuideCompleted"), std::nullopt);
}

}  // namespace
}  // namespace hollin
