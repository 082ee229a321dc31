// TStrings and TStringList.
#pragma once

#include <string>
#include <vector>

#include "platform/classlib/components.h"

class TStrings : public TPersistent {
public:
    const char* ClassName() const override { return "TStrings"; }

    virtual int Count() const = 0;
    virtual std::string Get(int index) const = 0;   // raises EListError on a bad index
    virtual void Put(int index, const std::string& s) = 0;
    virtual TObject* GetObject(int index) const = 0;
    virtual void PutObject(int index, TObject* obj) = 0;
    virtual void Insert(int index, const std::string& s) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    virtual int Add(const std::string& s);
    int AddObject(const std::string& s, TObject* obj);
    virtual int IndexOf(const std::string& s) const;   // ignoring case (AnsiCompareText)
    int IndexOfName(const std::string& name) const;
    void Move(int from, int to);
    void Exchange(int a, int b);

    std::string operator[](int index) const { return Get(index); }
    std::string Strings(int index) const { return Get(index); }

    // name=value lines
    std::string Names(int index) const;
    std::string Values(const std::string& name) const;
    void SetValue(const std::string& name, const std::string& value);

    // Lines joined by CR LF, each ending with one; setting splits at CR LF, CR or LF.
    virtual std::string Text() const;
    virtual void SetText(const std::string& text);
    std::string CommaText() const;
    void SetCommaText(const std::string& text);

    void AddStrings(const TStrings* other);
    void Assign(TPersistent* Source) override;
    void BeginUpdate();
    void EndUpdate();
    bool Updating() const { return FUpdateCount > 0; }

    // Files are program paths (win::LocalPath); text stays in the file's bytes.
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;

protected:
    virtual void SetUpdateState(bool) {}
    [[noreturn]] void Error(const char* fmt, int index) const;

private:
    int FUpdateCount = 0;
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TStrings {
public:
    TStringList() = default;
    ~TStringList() override = default;
    const char* ClassName() const override { return "TStringList"; }

    int Count() const override { return static_cast<int>(FItems.size()); }
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* obj) override;
    void Insert(int index, const std::string& s) override;
    void Delete(int index) override;
    void Clear() override;
    int Add(const std::string& s) override;
    int IndexOf(const std::string& s) const override;
    bool Find(const std::string& s, int& index) const;  // sorted lists: binary search
    void Sort();

    bool Sorted() const { return FSorted; }
    void SetSorted(bool v);
    TDuplicates Duplicates = TDuplicates::dupIgnore;

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    void SetUpdateState(bool updating) override;
    void Changed();
    void Changing();

private:
    struct Item {
        std::string s;
        TObject* obj = nullptr;
    };
    std::vector<Item> FItems;
    bool FSorted = false;
};
