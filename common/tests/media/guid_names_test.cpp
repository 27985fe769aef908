#include <gtest/gtest.h>

#include <string>

#include "media/guid_names.h"
#include "media/mf_guids.h"
#include "media/mf_result.h"

namespace OLK {
namespace {

TEST(GuidNames, TableHasEveryRowWithSdkNames) {
    EXPECT_EQ(guidNameCount(), 140u);
    EXPECT_STREQ(GetGUIDNameConst(MF_MT_MAJOR_TYPE), "MF_MT_MAJOR_TYPE");
    EXPECT_STREQ(GetGUIDNameConst(MF_MT_FRAME_RATE_RANGE_MIN), "MF_MT_FRAME_RATE_RANGE_MIN");
    EXPECT_STREQ(GetGUIDNameConst(MFMediaType_Video), "MFMediaType_Video");
    EXPECT_STREQ(GetGUIDNameConst(MFVideoFormat_RGB32), "MFVideoFormat_RGB32");
    EXPECT_STREQ(GetGUIDNameConst(MFVideoFormat_H264), "MFVideoFormat_H264");
    EXPECT_STREQ(GetGUIDNameConst(MFAudioFormat_ADTS), "MFAudioFormat_ADTS");
    EXPECT_STREQ(GetGUIDNameConst(FORMAT_VideoInfo2), "FORMAT_VideoInfo2");
}

TEST(GuidNames, FiveRowsUseShortNames) {
    EXPECT_STREQ(GetGUIDNameConst(MFVideoFormat_MJPG), "MJPG");
    EXPECT_STREQ(GetGUIDNameConst(MFVideoFormat_NV12), "NV12");
    EXPECT_STREQ(GetGUIDNameConst(MFVideoFormat_YUY2), "YUY2");
    EXPECT_STREQ(GetGUIDNameConst(MFAudioFormat_Float), "IEEE-FLOAT");
    EXPECT_STREQ(GetGUIDNameConst(FORMAT_VideoInfo), "WMFORMAT_VideoInfo");
}

TEST(GuidNames, SubtypesUseTheStandardForm) {
    EXPECT_EQ(guidToRegistryString(MFVideoFormat_YUY2), "{32595559-0000-0010-8000-00AA00389B71}");
    EXPECT_EQ(guidToRegistryString(MFMediaType_Video), "{73646976-0000-0010-8000-00AA00389B71}");
    EXPECT_EQ(guidToRegistryString(FORMAT_VideoInfo), "{05589F80-C356-11CE-BF01-00AA0055595A}");
}

TEST(GuidNames, UnknownGuidPrintsInBracedRegistryForm) {
    const GUID unknown =
        makeGuid(0x0123abcd, 0x4567, 0x89ef, 0xfe, 0xdc, 0xba, 0x98, 0x76, 0x54, 0x32, 0x10);
    EXPECT_EQ(GetGUIDNameConst(unknown), nullptr);
    EXPECT_EQ(guid2str(unknown), "{0123ABCD-4567-89EF-FEDC-BA9876543210}");
    // Not in the table although it is a known subtype.
    EXPECT_EQ(guid2str(MFVideoFormat_H265), "{35363248-0000-0010-8000-00AA00389B71}");

    char* name = nullptr;
    ASSERT_EQ(GetGUIDName(MFVideoFormat_NV12, &name), S_OK);
    EXPECT_STREQ(name, "NV12");
    taskMemFree(name);
    EXPECT_EQ(GetGUIDName(MFVideoFormat_NV12, nullptr), E_POINTER);
}

}  // namespace
}  // namespace OLK
