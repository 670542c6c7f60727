#pragma once
// Base of every panel page, menu and editor: a title, an enabled flag and a place in a MenuSet.

#include <string>

class MenuSet;

class MenuItem {
public:
    explicit MenuItem(std::string title = std::string());
    // Detaches from the parent.
    virtual ~MenuItem();
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    // A key event; keys act on press. True when the key was consumed.
    virtual bool onKey(int key, bool pressed);
    virtual void activate(int index) = 0;
    virtual void deactivate();
    virtual void setIndex(int index);
    virtual std::string title() const;
    virtual const std::string& titleRef() const;
    virtual void close();
    virtual void removeMenuItem(int index);
    virtual void removeMenuItem(MenuItem* item);
    virtual void itemChanged(MenuItem* item);

    bool enabled() const { return enabled_; }
    // A change closes the item and tells its parent.
    void setEnabled(bool enabled);
    void setTitle(std::string title) { title_ = std::move(title); }
    MenuSet* parent() const { return parent_; }
    int index() const { return index_; }

protected:
    std::string title_;
    bool enabled_ = true;

private:
    friend class MenuSet;
    MenuSet* parent_ = nullptr;
    int index_ = -1;
};
