// The folder namespace behind the folder tree: its root, the children of a folder, the cheap
// has-children test and the identifiers of paths, both rooted at a folder and at the desktop.
#include "selection/shell_namespace.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace vk {
namespace {

using test::TempDir;

QString Q(const std::string& text) { return QString::fromStdString(text); }
QByteArray B(const std::string& text) { return QByteArray::fromStdString(text); }

// The names joined by "|", readable in a failure message.
std::string Names(const std::vector<ShellItem>& items) {
  QStringList names;
  for (const ShellItem& item : items) names << item.name;
  return names.join(QLatin1Char('|')).toStdString();
}

void MakeFolders(const TempDir& root, std::initializer_list<const char*> folders) {
  for (const char* folder : folders) std::filesystem::create_directories(root.File(folder));
}

// Sets an environment variable for the life of the object.

TEST(ShellNamespaceTest, FolderRootShowsSubfoldersInCollationOrderWithoutHiddenOnes) {
  // The order is the user's locale's; a German user here.
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  TempDir root;
  MakeFolders(root, {"beta", "Alpha", "gamma", ".svn", "Éclair", "a2"});
  test::WriteFile(root.File("file.htm"), "x");
  const ShellNamespace space(Q(root.Path()));
  EXPECT_FALSE(space.IsDesktop());
  EXPECT_EQ(space.Root().path, B(root.Path()));
  EXPECT_EQ(space.Root().name, Q(std::filesystem::path(root.Path()).filename().string()));
  const std::vector<ShellItem> children = space.Children(space.Root(), true);
  EXPECT_EQ(Names(children), "a2|Alpha|beta|Éclair|gamma");
  EXPECT_EQ(children[1].path, B(root.File("Alpha")));
  EXPECT_EQ(children[1].kind, ShellItem::Kind::kFolder);
}

TEST(ShellNamespaceTest, HasChildrenLooksForAShownSubfolder) {
  TempDir root;
  MakeFolders(root, {"empty", "onlyhidden/.git", "full/sub"});
  test::WriteFile(root.File("empty/page.htm"), "x");
  const ShellNamespace space(Q(root.Path()));
  struct Case {
    const char* folder;
    bool has;
  };
  for (const Case& c : {Case{"empty", false}, Case{"onlyhidden", false}, Case{"full", true},
                        Case{"missing", false}}) {
    ShellItem item{ShellItem::Kind::kFolder, B(root.File(c.folder)), QString()};
    EXPECT_EQ(space.HasChildren(item, false), c.has) << c.folder;
  }
}

TEST(ShellNamespaceTest, PathsBelowAFolderRootGetTheirChainOfFolders) {
  TempDir root;
  MakeFolders(root, {"a/b/c"});
  test::WriteFile(root.File("a/page.htm"), "x");
  const ShellNamespace space(Q(root.Path()));
  const QByteArray base = B(root.Path());
  struct Case {
    QByteArray path;
    std::optional<ShellId> id;
  };
  const Case cases[] = {
      {base, ShellId()},
      {base + "/", ShellId()},
      {base + "/a/b/c", ShellId{base + "/a", base + "/a/b", base + "/a/b/c"}},
      {base + "/a/./b/../b", ShellId{base + "/a", base + "/a/b"}},
      {base + "/a/page.htm", std::nullopt},  // a file is no folder
      {base + "/missing", std::nullopt},
      {QByteArray("/"), std::nullopt},  // outside the root
      {QByteArray(), std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(space.Parse(c.path), c.id) << c.path.toStdString();
}

TEST(ShellNamespaceTest, DesktopRootHasItsFoldersThenHomeAndTheFileSystem) {
  TempDir home;
  MakeFolders(home, {"Desktop/projekte/alt", "Desktop/.trash", "Dokumente/web", "config"});
  test::ScopedEnv homeEnv("HOME", home.Path());
  test::ScopedEnv configEnv("XDG_CONFIG_HOME", home.File("config"));
  const ShellNamespace space;
  EXPECT_TRUE(space.IsDesktop());
  EXPECT_EQ(ShellNamespace::DesktopFolder(), B(home.File("Desktop")));
  EXPECT_EQ(space.Root().path, B(home.File("Desktop")));
  EXPECT_EQ(space.Root().name, QStringLiteral("Desktop"));
  EXPECT_TRUE(space.HasChildren(space.Root(), true));

  const std::vector<ShellItem> top = space.Children(space.Root(), true);
  ASSERT_GE(top.size(), 3u);
  EXPECT_EQ(top[0].name, QStringLiteral("projekte"));
  EXPECT_EQ(top[1].kind, ShellItem::Kind::kHome);
  EXPECT_EQ(top[1].path, B(home.Path()));
  EXPECT_EQ(top[1].name, QStringLiteral("Persönlicher Ordner"));
  EXPECT_EQ(top[2].kind, ShellItem::Kind::kFileSystem);
  EXPECT_EQ(top[2].path, QByteArray("/"));
  for (size_t i = 3; i < top.size(); ++i) EXPECT_EQ(top[i].kind, ShellItem::Kind::kVolume);

  const QByteArray h = B(home.Path());
  EXPECT_EQ(space.Parse(h + "/Desktop/projekte/alt"),
            (ShellId{h + "/Desktop/projekte", h + "/Desktop/projekte/alt"}));
  EXPECT_EQ(space.Parse(h + "/Dokumente/web"),
            (ShellId{h, h + "/Dokumente", h + "/Dokumente/web"}));
  EXPECT_EQ(space.Parse(h), ShellId{h});
  EXPECT_EQ(space.Parse("/"), ShellId{"/"});
  EXPECT_EQ(space.Parse("/usr/share"), (ShellId{"/", "/usr", "/usr/share"}));
}

TEST(ShellNamespaceTest, WithoutADesktopFolderTheHomeFolderIsTheDesktop) {
  TempDir home;
  MakeFolders(home, {"web", "config"});
  test::ScopedEnv homeEnv("HOME", home.Path());
  test::ScopedEnv configEnv("XDG_CONFIG_HOME", home.File("config"));
  const ShellNamespace space;
  EXPECT_EQ(space.Root().path, B(home.Path()));
  EXPECT_EQ(space.Root().name, QStringLiteral("Schreibtisch"));
  const std::vector<ShellItem> top = space.Children(space.Root(), true);
  ASSERT_GE(top.size(), 3u);
  // No second entry for the home folder: it is the root already.
  EXPECT_EQ(Names({top[0], top[1], top[2]}), "config|web|Dateisystem");
}

TEST(ShellNamespaceTest, JoinDoesNotDoubleTheSeparator) {
  EXPECT_EQ(ShellNamespace::Join("/", "etc"), QByteArray("/etc"));
  EXPECT_EQ(ShellNamespace::Join("/a", "b"), QByteArray("/a/b"));
}

}  // namespace
}  // namespace vk
