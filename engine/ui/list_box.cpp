#include "engine/ui/list_box.h"

#include "engine/scene/image_sprite.h"
#include "engine/ui/checkbox.h"
#include "engine/ui/scrollbar.h"

CListBox::CListBox(CInterfaceElement* parent_) : CInterfaceContainer(parent_, nullptr) {
    scrollbar = new CScrollbar(this);
    CInterfaceContainer::add_child(scrollbar);
    background = new CImageSprite(this);
    row_template = new CCheckbox(nullptr, nullptr);
}

CListBox::~CListBox() {
    delete row_template;
    row_template = nullptr;
    delete background;
    background = nullptr;
    items.clear();
}

// --- plain settings ---

int CListBox::get_content_length() { return get_item_count() * row_size; }
CScrollbar* CListBox::get_scrollbar() { return scrollbar; }
CImageSprite* CListBox::get_background() { return background; }
CCheckbox* CListBox::get_row_template() { return row_template; }
int CListBox::get_item_count() { return int(items.size()); }
void CListBox::set_vertical(bool v) { vertical = v; }
bool CListBox::is_vertical() { return vertical; }
void CListBox::set_show_item_sprites(bool v) { show_item_sprites = v; }
bool CListBox::shows_item_sprites() { return show_item_sprites; }
void CListBox::set_keep_sprite_aspect(bool v) { keep_sprite_aspect = v; }
bool CListBox::keeps_sprite_aspect() { return keep_sprite_aspect; }

void CListBox::set_scrollbar_thickness(int thickness) {
    // A thickness of 0 would hide the scrollbar for good; refuse it rather than store it.
    if (thickness > 0) scrollbar_thickness = thickness;
}

int CListBox::get_scrollbar_thickness() { return scrollbar_thickness; }
void CListBox::set_row_size(int v) { row_size = v; }
int CListBox::get_row_size() { return row_size; }
void CListBox::set_item_sprite_height(int v) { item_sprite_height = v; }
int CListBox::get_item_sprite_height() { return item_sprite_height; }
int CListBox::get_selected_item() { return selected_item; }
void CListBox::set_on_select(ListBoxSelectHandler handler) { on_select = handler; }
ListBoxSelectHandler CListBox::get_on_select() { return on_select; }

int CListBox::add_child(CSprite*) { return -1; }
void CListBox::remove_child(int) {}

// --- items ---

bool CListBox::valid_item(int index) const { return index >= 0 && index < int(items.size()); }

bool CListBox::image_shared(int sprite_child, int except) const {
    for (int i = 0; i < int(items.size()); ++i) {
        if (i != except && items[std::size_t(i)].sprite_child == sprite_child) return true;
    }
    return false;
}

CCheckbox* CListBox::row_of(const ListBoxItem& item) { return dynamic_cast<CCheckbox*>(get_child(item.row_child)); }

int CListBox::add_row() {
    auto* row = new CCheckbox(*row_template);
    row->CInterfaceElement::set_parent(this);
    row->CSprite::set_parent(this);
    return CInterfaceContainer::add_child(row);
}

void CListBox::add_item(std::string text, int position) {
    const int row = add_row();
    const int image = CInterfaceContainer::add_child(new CImageSprite(this));
    ListBoxItem item{image, row, std::move(text)};
    if (position >= 0 && position <= get_item_count()) {
        items.insert(items.begin() + position, std::move(item));
    } else {
        items.push_back(std::move(item));
    }
}

void CListBox::move_item(int from, int to) {
    if (!valid_item(from) || !valid_item(to)) return;
    ListBoxItem item = std::move(items[std::size_t(from)]);
    items.erase(items.begin() + from);
    items.insert(items.begin() + to, std::move(item));
}

void CListBox::remove_item(int index) {
    if (!valid_item(index)) return;
    const ListBoxItem& item = items[std::size_t(index)];
    if (item.sprite_child >= 0 && !image_shared(item.sprite_child, index)) {
        CInterfaceContainer::remove_child(item.sprite_child);
    }
    CInterfaceContainer::remove_child(item.row_child);
    items.erase(items.begin() + index);
}

void CListBox::clear_items() {
    for (const ListBoxItem& item : items) {
        // A shared image's slot is empty by its second removal, which then does nothing.
        if (item.sprite_child >= 0) CInterfaceContainer::remove_child(item.sprite_child);
        CInterfaceContainer::remove_child(item.row_child);
    }
    items.clear();
}

void CListBox::set_item_text(int index, std::string text) {
    if (valid_item(index)) items[std::size_t(index)].text = std::move(text);
}

std::string CListBox::get_item_text(int index) {
    return valid_item(index) ? items[std::size_t(index)].text : std::string();
}

bool CListBox::set_item_sprite(int index, CImageSprite* sprite) {
    if (!valid_item(index) || !sprite) return false;
    // The list's own parts are never an item's image: removing the item would delete them.
    if (sprite == background || sprite == row_template ||
        static_cast<CSprite*>(sprite) == static_cast<CSprite*>(scrollbar)) {
        return false;
    }
    for (const ListBoxItem& item : items) {
        if (get_child(item.row_child) == sprite) return false;
    }
    const int child = CInterfaceContainer::add_child(sprite);
    if (child < 0) return false;
    ListBoxItem& item = items[std::size_t(index)];
    if (child != item.sprite_child) {
        if (item.sprite_child >= 0 && !image_shared(item.sprite_child, index)) {
            CInterfaceContainer::remove_child(item.sprite_child);
        }
        item.sprite_child = child;
    }
    return true;
}

CImageSprite* CListBox::get_item_sprite(int index) {
    if (!valid_item(index)) return nullptr;
    return dynamic_cast<CImageSprite*>(get_child(items[std::size_t(index)].sprite_child));
}

void CListBox::rebuild_rows() {
    for (ListBoxItem& item : items) {
        CInterfaceContainer::remove_child(item.row_child);
        item.row_child = add_row();
    }
}

// --- layout ---

void CListBox::update_layout() {
    const FloatRect client = get_client_rect();
    const float s = show_item_sprites ? float(item_sprite_height) : 0.0f;

    background->set_width(get_width());
    background->set_height(get_height());
    background->set_x(0);
    background->set_y(0);

    scrollbar->CSprite::set_x(0);
    scrollbar->CSprite::set_y(0);
    scrollbar->set_vertical(vertical);
    if (vertical) {
        scrollbar->set_horizontal_anchor(Anchor::End);
        scrollbar->set_vertical_anchor(Anchor::Centre);
        scrollbar->set_width(float(scrollbar_thickness));
        scrollbar->set_height(client.height);
    } else {
        scrollbar->set_horizontal_anchor(Anchor::Start);
        scrollbar->set_vertical_anchor(Anchor::End);
        scrollbar->set_width(client.width);
        scrollbar->set_height(float(scrollbar_thickness));
    }
    scrollbar->set_step(1);

    const float overflow = float(get_content_length()) - (vertical ? client.height : client.width);
    if (overflow > 0) {
        scrollbar->set_enabled(true);
        scrollbar->set_minimum(0);
        scrollbar->set_maximum(overflow);
    } else {
        scrollbar->set_enabled(false);
        scrollbar->set_minimum(0);
        scrollbar->set_value(0);
    }
    const float offset = scrollbar->get_value();
    const float bar_w = scrollbar->get_width();
    const float bar_h = scrollbar->get_height();

    for (int i = 0; i < get_item_count(); ++i) {
        const ListBoxItem& item = items[std::size_t(i)];
        CCheckbox* row = row_of(item);
        if (!row) continue;
        row->CInterfaceElement::set_parent(this);
        row->CSprite::set_parent(this);
        const float along = float(i * row_size) - offset;
        float w, h;
        if (vertical) {
            w = client.width - bar_w - s;
            h = float(row_size);
            row->CSprite::set_x(bar_w);
            row->CSprite::set_y(along);
            row->set_horizontal_anchor(Anchor::End);
            row->set_vertical_anchor(Anchor::Start);
        } else {
            w = float(row_size);
            h = client.height - bar_h - s;
            row->CSprite::set_x(along);
            row->CSprite::set_y(bar_h);
            row->set_horizontal_anchor(Anchor::Start);
            row->set_vertical_anchor(Anchor::End);
        }
        row->set_width(w);
        row->set_height(h);
        row->set_text_box(0, 0, row->get_width(), row->get_height());
        row->set_on_change(&CListBox::on_row_click);
        for (int state = 0; state < ButtonState::Count; ++state) {
            row->get_appearance(state)->text = item.text;
        }
        row->apply_state(i == selected_item ? 1 : 0);
    }

    for (int i = 0; i < get_item_count(); ++i) {
        const ListBoxItem& item = items[std::size_t(i)];
        auto* image = dynamic_cast<CImageSprite*>(get_child(item.sprite_child));
        if (!image) continue;
        if (!show_item_sprites) {
            image->set_visible(false);
            continue;
        }
        image->set_visible(true);
        const float box_w = vertical ? float(item_sprite_height) : float(row_size);
        const float box_h = vertical ? float(row_size) : float(item_sprite_height);
        const float tw = float(image->get_tile_width());
        const float th = float(image->get_tile_height());
        float w = box_w, h = box_h;
        if (tw > 0 && th > 0 && keep_sprite_aspect && box_h > 0 && box_w > 0) {
            if (box_w / box_h > tw / th) {
                h = box_h;
                w = tw * box_h / th;
            } else {
                w = box_w;
                h = th * box_w / tw;
            }
        }
        image->set_width(w);
        image->set_height(h);
        const float along = float(i * row_size) - offset;
        if (vertical) {
            image->set_x(client.x + (box_w - w) * 0.5f);
            image->set_y(client.y + along + (box_h - h) * 0.5f);
        } else {
            image->set_x(client.x + along + (box_w - w) * 0.5f);
            image->set_y(client.y + (box_h - h) * 0.5f);
        }
    }
}

void CListBox::draw(SDL_Surface* screen) {
    update_layout();
    background->draw(screen);
    CInterfaceContainer::draw(screen);
}

void CListBox::update(float dt) {
    CSpriteManager::update(dt);
    background->update(dt);
}

// --- selection ---

void CListBox::select_item(int index) {
    // Rows added or moved since the last frame get their place first, so the one asked for
    // scrolls into view from where it really is.
    update_layout();
    const FloatRect client = get_client_rect();
    for (int i = 0; i < get_item_count(); ++i) {
        CCheckbox* row = row_of(items[std::size_t(i)]);
        if (!row) continue;
        if (i != index) {
            row->apply_state(0);
            continue;
        }
        row->apply_state(1);
        const float along = vertical ? row->get_y() : row->get_x();
        const float extent = vertical ? row->get_height() : row->get_width();
        const float visible = vertical ? client.height : client.width;
        if (along + extent > visible) {
            scrollbar->set_value(scrollbar->get_value() + along + extent - visible);
        }
        if (along < 0) scrollbar->set_value(scrollbar->get_value() + along);
    }
    selected_item = valid_item(index) ? index : -1;
}

void CListBox::select_row(CInterfaceElement* row) {
    const int child = find_child(sprite_of(row));
    for (int i = 0; i < get_item_count(); ++i) {
        if (child >= 0 && items[std::size_t(i)].row_child == child) {
            select_item(i);
            return;
        }
    }
    select_item(-1);
}

void CListBox::on_row_click(CInterfaceElement* row, const SDL_MouseButtonEvent* event, int state_before) {
    auto* list = row ? dynamic_cast<CListBox*>(row->get_parent()) : nullptr;
    auto* box = dynamic_cast<CCheckbox*>(row);
    if (!list || !box || !event) return;
    if (event->button == SDL_BUTTON_LEFT) {
        // A click never unchecks the selected row.
        box->apply_state(1);
        list->select_row(row);
    } else {
        box->apply_state(state_before);
    }
    const int child = list->find_child(sprite_of(row));
    int item_index = -1;
    for (int i = 0; i < list->get_item_count(); ++i) {
        if (child >= 0 && list->items[std::size_t(i)].row_child == child) {
            item_index = i;
            break;
        }
    }
    if (list->on_select) list->on_select(list, event, item_index);
}

void CListBox::step_selection(bool forward) {
    const int count = get_item_count();
    int next;
    if (forward) {
        next = selected_item >= count - 1 ? 0 : selected_item + 1;
    } else {
        next = selected_item < 1 ? count - 1 : selected_item - 1;
    }
    select_item(next);
}

// --- input ---

void CListBox::on_mouse_button_down(const SDL_MouseButtonEvent& event) {
    if (!passes_input_gate()) return;
    CInterfaceContainer::on_mouse_button_down(event);
    if (!scrollbar->is_enabled()) return;
    if (event.button == SDL_BUTTON_WHEELUP) {
        scrollbar->set_value(scrollbar->get_value() - float(row_size));
    } else if (event.button == SDL_BUTTON_WHEELDOWN) {
        scrollbar->set_value(scrollbar->get_value() + float(row_size));
    }
}

void CListBox::on_mouse_button_up(const SDL_MouseButtonEvent& event) {
    if (!passes_input_gate()) return;
    CInterfaceContainer::on_mouse_button_up(event);
}

void CListBox::on_key_pressed(const SDL_KeyboardEvent& event) {
    if (!passes_input_gate()) return;
    CInterfaceContainer::on_key_pressed(event);
    switch (event.keysym.sym) {
    case SDLK_RETURN: select_item(selected_item); break;
    case SDLK_DOWN:
        if (vertical) step_selection(true);
        break;
    case SDLK_UP:
        if (vertical) step_selection(false);
        break;
    case SDLK_RIGHT:
        if (!vertical) step_selection(true);
        break;
    case SDLK_LEFT:
        if (!vertical) step_selection(false);
        break;
    default: break;
    }
}

void CListBox::on_key_repeat(const SDL_KeyboardEvent& event) { on_key_pressed(event); }

void CListBox::on_key_released(const SDL_KeyboardEvent& event) {
    if (!passes_input_gate()) return;
    CInterfaceContainer::on_key_released(event);
}
