#include "uiwidgets/cool_menu.h"

#include "common/resource_locale.h"
#include "common/resource_module.h"

#include <QAction>

#include <algorithm>
#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPalette>

QImage EmbossedImage(const QImage& image, QColor highlight, QColor shadow)
{
    const QImage source = image.convertToFormat(QImage::Format_ARGB32);
    QImage out(source.size(), QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    const auto dark = [&](int x, int y) {
        const QRgb p = source.pixel(x, y);
        return qAlpha(p) > 127 && qGray(p) < 0xC0;
    };
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            if (dark(x, y) && x + 1 < out.width() && y + 1 < out.height())
                out.setPixel(x + 1, y + 1, highlight.rgba());
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            if (dark(x, y))
                out.setPixel(x, y, shadow.rgba());
    return out;
}

void CCoolMenuManager::Install(QMainWindow* frame)
{
    m_pFrame = frame;
    HookWindow(frame);
    for (QMenu* menu : frame->findChildren<QMenu*>())
        QObject::connect(menu, &QMenu::aboutToShow, menu, [this, menu] { ConvertMenu(menu); });
}

bool CCoolMenuManager::addStrip(const Strip& strip)
{
    const int images = static_cast<int>(std::count_if(strip.ids.begin(), strip.ids.end(), [](int id) { return id != 0; }));
    if (strip.image.isNull() || strip.image.height() < m_ImageSize.height() || strip.image.width() < images * m_ImageSize.width())
        return false;
    const QImage argb = strip.image.convertToFormat(QImage::Format_ARGB32);
    int slot = 0;
    for (int id : strip.ids) {
        if (id == 0)
            continue;
        QImage image = argb.copy(slot++ * m_ImageSize.width(), 0, m_ImageSize.width(), m_ImageSize.height());
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if ((image.pixel(x, y) & 0xFFFFFF) == (strip.mask.rgb() & 0xFFFFFF))
                    image.setPixel(x, y, qRgba(0, 0, 0, 0));
        const auto known = m_CommandImage.find(id);
        if (known != m_CommandImage.end() && known->second >= 0)
            continue; // a command keeps its first image
        m_CommandImage[id] = static_cast<int>(m_Images.size());
        m_Images.push_back(image);
    }
    return true;
}

bool CCoolMenuManager::LoadToolbar(const QImage& strip, const std::vector<int>& commandIds, QSize imageSize, QColor maskColour)
{
    if (strip.isNull() || imageSize.isEmpty())
        return false;
    if (m_ImageSize.isValid() && imageSize != m_ImageSize)
        return false;
    const QSize before = m_ImageSize;
    m_ImageSize = imageSize;
    Strip s{strip, commandIds, maskColour};
    if (!addStrip(s)) {
        m_ImageSize = before;
        return false;
    }
    m_Strips.push_back(std::move(s));
    return true;
}

bool CCoolMenuManager::LoadToolbar(uint32_t bitmapId, const std::vector<int>& commandIds, QSize imageSize)
{
    const auto data = LoadResourceData(QELTA_RESOURCE_BITMAP, bitmapId);
    if (data.empty())
        return false;
    QImage strip;
    if (!strip.loadFromData(data.data(), static_cast<int>(data.size())))
        return false;
    return LoadToolbar(strip, commandIds, imageSize);
}

int CCoolMenuManager::ImageIndex(int command) const
{
    const auto it = m_CommandImage.find(command);
    return it == m_CommandImage.end() ? -1 : it->second;
}

QIcon CCoolMenuManager::Icon(int command) const
{
    const int index = ImageIndex(command);
    if (index < 0)
        return {};
    QIcon icon;
    const QPixmap normal = QPixmap::fromImage(m_Images[static_cast<size_t>(index)]);
    icon.addPixmap(normal, QIcon::Normal);
    if (!m_bUseDrawState) {
        const QPalette palette = QApplication::palette();
        icon.addPixmap(QPixmap::fromImage(EmbossedImage(m_Images[static_cast<size_t>(index)],
                                                        palette.color(QPalette::Light), palette.color(QPalette::Mid))),
                       QIcon::Disabled);
    }
    return icon;
}

QString CCoolMenuManager::KeyText(int command) const
{
    QStringList keys;
    for (const CAccelerator& a : m_Accelerators)
        if (a.command == command)
            keys << a.keys.toString(QKeySequence::PortableText);
    return keys.isEmpty() ? QString() : QStringLiteral("\t") + keys.join(QStringLiteral(", "));
}

void CCoolMenuManager::ConvertMenu(QMenu* menu)
{
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || action->menu() || action->data().isValid())
            continue; // submenus convert when they open; foreign data stays as it is
        const QString name = action->objectName();
        if (!name.startsWith(QStringLiteral("id")))
            continue;
        bool ok = false;
        const int command = name.mid(2).toInt(&ok);
        if (!ok)
            continue;
        if (action->icon().isNull() || action->property("coolMenuIcon").toBool()) {
            const QIcon icon = Icon(command);
            if (!icon.isNull()) {
                action->setIcon(icon);
                action->setProperty("coolMenuIcon", true);
            }
        }
        if (m_bAutoAccel) {
            QString text = action->text();
            const qsizetype tab = text.indexOf(u'\t');
            if (tab > 0)
                text.truncate(tab);
            const QString keys = KeyText(command);
            if (!keys.isEmpty())
                action->setText(text + keys);
        }
    }
}

void CCoolMenuManager::RefreshToolbars()
{
    m_Images.clear();
    m_CommandImage.clear();
    for (const Strip& strip : m_Strips)
        addStrip(strip);
}

bool CCoolMenuManager::OnHookedEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        RefreshToolbars();
    return CSubclassWnd::OnHookedEvent(event);
}
