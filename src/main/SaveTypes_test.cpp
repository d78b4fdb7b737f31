#include "main/SaveTypes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/ScratchFolder.h"

TEST(SaveTypes, TheChosenTypesExtensionIsAddedOrReplacesAnotherTypes)
{
    const std::vector<SaveType>& types = imageSaveTypes();
    const SaveType& png = types[0];
    const SaveType& jpeg = types[1];
    EXPECT_EQ(nameWithTypeExtension("door_weathered", png, types), "door_weathered.png");
    EXPECT_EQ(nameWithTypeExtension("door.PNG", png, types), "door.PNG") << "case does not matter";
    EXPECT_EQ(nameWithTypeExtension("door.jpeg", jpeg, types), "door.jpeg") << "any of the type's extensions";
    EXPECT_EQ(nameWithTypeExtension("door.png", jpeg, types), "door.jpg");
    EXPECT_EQ(nameWithTypeExtension("/a.b/door", jpeg, types), "/a.b/door.jpg") << "a dot in a folder is no extension";
    EXPECT_EQ(nameWithTypeExtension("door.v2", png, types), "door.v2.png")
        << "an unknown extension is part of the name";
    EXPECT_EQ(nameWithTypeExtension("d.tif", degreeSaveTypes()[0], degreeSaveTypes()), "d.tif.png");
}

TEST(SaveTypes, StartsInAWritablePhotographFolderElseTheLastSavedElsePictures)
{
    ScratchFolder scratch;
    const std::string photos = scratch.path("photos");
    const std::string last = scratch.path("last");
    const std::string pictures = scratch.path("Pictures");
    for (const std::string& folder : {photos, last, pictures})
        std::filesystem::create_directory(folder);
    EXPECT_EQ(saveStartFolder(photos, last, pictures, "/home"), photos);
    ASSERT_EQ(chmod(photos.c_str(), 0555), 0);
    // Root may write anywhere: the read-only case only tells for other users.
    if (geteuid() != 0) {
        EXPECT_EQ(saveStartFolder(photos, last, pictures, "/home"), last);
    }
    EXPECT_EQ(saveStartFolder(scratch.path("moved"), last, pictures, "/home"), last) << "a folder since removed";
    EXPECT_EQ(saveStartFolder("", "", pictures, "/home"), pictures) << "nothing loaded, nothing saved yet";
    EXPECT_EQ(saveStartFolder("", scratch.path("gone"), scratch.path("none"), "/home"), "/home");
    ASSERT_EQ(chmod(photos.c_str(), 0755), 0);
}
