#pragma once
// The windows as the reader link sees them. A registered view never owns or keeps alive its window.

#include <cstdint>
#include <string>

class ICommView {
public:
    virtual void ShowStatus(const std::string &msg) = 0;
    virtual void AddLog(const std::string &line, bool force) = 0;
    virtual void UpdatePort() = 0;

protected:
    ~ICommView() = default;
};

class ITermView {
public:
    virtual void ShowRxChar(uint8_t ch) = 0;

protected:
    ~ITermView() = default;
};

class IEditView {
public:
    virtual void RefreshAll() = 0;

protected:
    ~IEditView() = default;
};

class IMainView {
public:
    virtual void UpdateMultiMenu(bool useDefault) = 0;
    virtual void OpenEditView() = 0;
    virtual void EnableSpecialMenu(bool enabled) = 0;
    virtual void CommViewCreated() = 0;

protected:
    ~IMainView() = default;
};
