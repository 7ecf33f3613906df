#include "serial/SerErrno.h"
#include "serial/SerExcept.h"
#include "serial/SerMisc.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <typeinfo>

namespace {

// Runs CheckException and returns what it raised.
template <class E>
E Raised(int32_t code)
{
    try {
        CheckException(nullptr, code);
    } catch (const E &e) {
        return e;
    } catch (const std::exception &e) {
        ADD_FAILURE() << code << " raised " << typeid(e).name() << ": " << e.what();
        throw;
    }
    ADD_FAILURE() << code << " raised nothing";
    throw std::logic_error("nothing raised");
}

struct CodeCase {
    int32_t code;
    const std::type_info &type;
    std::function<bool(const ESerException &)> inGroup;
    const char *text;
};

template <class G>
bool Is(const ESerException &e)
{
    return dynamic_cast<const G *>(&e) != nullptr;
}

} // namespace

TEST(CheckException, CodesTheComponentMeetsGiveTheirClassAndText)
{
    const CodeCase cases[] = {
        {-1005, typeid(EPortNotAssigned), Is<EGeneral>, "ComPort component not assigned"},
        {-2001, typeid(EBadId), Is<EOpenComm>, "ie_BadId - Specified comport doesn't exist"},
        {-2002, typeid(EBaudRate), Is<EOpenComm>, "ie_Baudrate - unsupported baud rate"},
        {-2003, typeid(EByteSize), Is<EOpenComm>, "ie_Bytesize - invalid byte size"},
        {-2004, typeid(EDefault), Is<EOpenComm>, "ie_Default - error in default parameters"},
        {-2005, typeid(EHardware), Is<EOpenComm>, "ie_Hardware - Specified comport in use"},
        {-2006, typeid(EMemory), Is<EOpenComm>, "ie_Memory - unable to allocate queues"},
        {-2007, typeid(ECommNotOpen), Is<EOpenComm>, "ie_NOpen - device not open"},
        {-2008, typeid(EAlreadyOpen), Is<EOpenComm>, "ie_Open - device already open"},
        {-2011, typeid(ENoPortSelected), Is<EOpenComm>,
         "The ComNumber property of the TSerComPort has not been set"},
        {-2012, typeid(ENotOpenedByTapi), Is<EOpenComm>, "Comport was not opened by Tapi"},
        {-3001, typeid(ENullApi), Is<ESerialIO>, "No device layer specified"},
        {-3004, typeid(EPutBlockFail), Is<ESerialIO>, "Failed to put entire block"},
        {-3006, typeid(EOutputBufferTooSmall), Is<ESerialIO>, "Output buffer too small for block"},
        {-3007, typeid(EBufferIsEmpty), Is<ESerialIO>, "Buffer is empty"},
        {-5003, typeid(EBadTriggerHandle), Is<ETrigger>, "Bad trigger handle"},
        {-1002, typeid(EBadArgument), Is<EGeneral>, "Bad argument passed to function"},
        {-1006, typeid(EInternal), Is<EGeneral>, "Internal error creating window class"},
        {-7012, typeid(EInternal), Is<EGeneral>, nullptr},
        {-6008, typeid(EProtocol), Is<EProtocol>, nullptr},
        {-8070, typeid(EFaxPageError), Is<EFax>, nullptr},
        {-13942, typeid(ETapiTranslateFail), Is<ETapi>, nullptr},
        {-4008, typeid(EModemStatusMismatch), Is<EModem>, nullptr},
        {-7014, typeid(EBadFieldForIndex), Is<EINI>, nullptr},
    };
    for (const CodeCase &c : cases) {
        try {
            CheckException(nullptr, c.code);
        } catch (const ESerException &thrown) {
            EXPECT_EQ(typeid(thrown), c.type) << c.code;
            EXPECT_TRUE(c.inGroup(thrown)) << c.code;
            EXPECT_EQ(thrown.ErrorCode(), c.code);
            if (c.text)
                EXPECT_STREQ(thrown.what(), c.text);
            else
                EXPECT_STRNE(thrown.what(), "");
        }
    }
}

TEST(CheckException, NonNegativeCodesPass)
{
    EXPECT_EQ(CheckException(nullptr, 0), 0);
    EXPECT_EQ(CheckException(nullptr, 5), 5);
}

TEST(CheckException, UnlistedCodesGiveTheFallback)
{
    for (int32_t code : {-1, -13824, -2013, -6007, -163, INT32_MIN}) {
        const ESerException e = Raised<ESerException>(code);
        EXPECT_EQ(typeid(e), typeid(ESerException)) << code;
        EXPECT_STREQ(e.what(), "Serial library exception");
        EXPECT_EQ(e.ErrorCode(), 0);
    }
}

TEST(CheckException, RuntimeFileAndDeviceErrors)
{
    const EInOutError notFound = Raised<EInOutError>(-2);
    EXPECT_EQ(notFound.ErrorCode(), 2);
    EXPECT_STREQ(notFound.what(), "File not found");
    EXPECT_STREQ(Raised<EInOutError>(-162).what(), "General failure");
    EXPECT_THROW(CheckException(nullptr, -8), std::bad_alloc);
    // No table text: the system's message for the number.
    const EInOutError denied = Raised<EInOutError>(-int32_t(SerError::PermissionDenied));
    EXPECT_STREQ(denied.what(), "Permission denied");
    // Neither a table text nor a system message: an empty message.
    EXPECT_STREQ(Raised<EInOutError>(-120).what(), "");
}

TEST(CheckException, NothingIsRaisedWhileTheComponentLoads)
{
    TSerBaseComponent port;
    port.BeginLoading();
    EXPECT_EQ(CheckException(&port, -2001), -2001);
    port.Loaded();
    EXPECT_THROW(CheckException(&port, -2001), EBadId);
}

TEST(ErrorMsg, SystemMessagesAreFlattened)
{
    EXPECT_EQ(NormalizeSystemMessage("The parameter is incorrect.\r\n"), "The parameter is incorrect. ");
    EXPECT_EQ(NormalizeSystemMessage("a \t\tb   c"), "a b c");
    EXPECT_EQ(ErrorMsg(-87), "Invalid argument");
    EXPECT_EQ(ErrorMsg(2008), "ie_Open - device already open");
}
