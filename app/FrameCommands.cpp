#include "app/FrameCommands.h"

namespace {

QKeySequence Keys(QKeyCombination combined) { return QKeySequence(combined); }

}  // namespace

const QList<FrameCommand>& FrameCommands() {
  static const QList<FrameCommand> table = {
      {ID_FILE_NEW, "&Создать", {Keys(Qt::CTRL | Qt::Key_N)}, "Создать полеобразующую систему\nСоздать"},
      {ID_FILE_OPEN, "&Открыть...", {Keys(Qt::CTRL | Qt::Key_O)}, "Открыть существующий файл исходных данных\nОткрыть"},
      {ID_FILE_SAVE, "&Сохранить", {Keys(Qt::CTRL | Qt::Key_S)}, "Сохранить полеобразующую систему \nСохранить"},
      {ID_FILE_SAVE_AS, "Сохр&анить как...", {}, "Сохранить полеобразующую систему под новым именем \nСохранить как"},
      {ID_FILE_PRINT, "&Печать...", {Keys(Qt::CTRL | Qt::Key_P)}, "Напечатать текущую полеобразующую систему \nПечать"},
      {ID_FILE_PRINT_PREVIEW, "Макет с&трницы", {}, "Предварительный просмотр страницы\nPrint Preview"},
      {ID_FILE_PAGE_SETUP, "Параметры п&ечати...", {}, "Сменить принтер и установки печати \nНастройки принтера"},
      {ID_FILE_MRU_FILE1, "Recent File", {}, "Открыть файл данных"},
      {ID_APP_EXIT, "В&ыход", {}, "Выход из программы с сохранением полеобразующей ситемы\nВыход"},
      {ID_EDIT_UNDO, "&Отменить", {Keys(Qt::CTRL | Qt::Key_Z), Keys(Qt::ALT | Qt::Key_Backspace)},
       "Отменить последне изменение\nОтменить"},
      {ID_EDIT_REDO, "&Повторить", {Keys(Qt::CTRL | Qt::Key_Y), Keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
       "Повторить отмененное изменение\nПовторить"},
      {ID_EDIT_CUT, "&Вырезать", {Keys(Qt::CTRL | Qt::Key_X), Keys(Qt::SHIFT | Qt::Key_Delete)},
       "Удалить выделенный объект и поместить его в Clipboard\nУдалить"},
      {ID_EDIT_COPY, "&Копировать", {Keys(Qt::CTRL | Qt::Key_C), Keys(Qt::CTRL | Qt::Key_Insert)},
       "Скопировать выделенный объект и поместить его в Clipboard\nКопировать"},
      {ID_EDIT_PASTE, "Вст&авить", {Keys(Qt::CTRL | Qt::Key_V), Keys(Qt::SHIFT | Qt::Key_Insert)},
       "Вставить объект из Clipboard \nВставить"},
      {ID_VIEW_TOOLBAR, "&Панель инструментов", {}, "Показать или скрыть панель инструментов\nПанель инструментов"},
      {ID_VIEW_STATUS_BAR, "&Строка состояния", {}, "Скрыть или показать строку состояния\nToggle StatusBar"},
      {ID_WINDOW_SPLIT, "&Разделить/Показать", {}, "Разделить окно на две части\nРазделить"},
      {ID_SHOW_GAP_CURVES, "Расчетные точки", {}, "Показать расположжение КТ\nРасположение КТ"},
      {ID_SHOW_CHARGES, "Заряды", {}, "Показать расположение зарядов\nЗаряды"},
      {ID_ZOOM_IN, "&Увеличить масштаб", {QKeySequence(QKeySequence::ZoomIn)},
       "Увеличить масштаб изобажения конструкции\nУвеличить масштаб"},
      {ID_ZOOM_OUT, "У&меньшить масштаб", {QKeySequence(QKeySequence::ZoomOut)},
       "Уменьшиь масштаб изобажения конструкции\nУменьшиь масштаб"},
      {ID_ZOOM_FIT, "&Показать целиком", {QKeySequence(Qt::Key_Home)},
       "Показать всю конструкцию в окне\nПоказать целиком"},
      {ID_CALC_PARAMETERS, "Параметры расчета", {}, "Установить параметры расчета"},
      {ID_GAP_CURVES, "Точки в промежутке", {}, "Параметры расчетных точек в межэлектродном промежутке"},
      {ID_CALCULATE, "Произвести расчет...", {}, "Произвести расчет с установленными параметрами"},
      {ID_GAP_CALCULATE, "Расчет в точках промежутка", {},
       "Произвести расчет в межэлектродном промежутке\nРасчет в промежутке"},
      {ID_STUDY, "Исследование параметра…", {},
       "Серия расчетов: одна величина системы в заданном диапазоне\nИсследование параметра"},
      {ID_HELP_FINDER, "&Вызов справки", {}, "Вызов справки\nСправка"},
      {ID_APP_ABOUT, "&О программе...", {},
       "Показать информацию о программе, номере версии и авторских правах продукта \nО программе"},
      {ID_CONTEXT_HELP, "Справка", {Keys(Qt::SHIFT | Qt::Key_F1)},
       "Показать справку о кнопке, пункте меню или окна \nСправка"},
      {ID_HELP, "Справка", {QKeySequence(Qt::Key_F1)}, "Вызов справки\nСправка"},
      {ID_NEXT_PANE, "Next Pane", {Keys(Qt::CTRL | Qt::Key_Tab)}, "Switch to the next window pane\nNext Pane"},
      {ID_PREV_PANE, "Previous Pane", {Keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), Keys(Qt::CTRL | Qt::Key_Backtab)},
       "Switch back to the previous window pane\nPrevious Pane"},
      {ID_CREATE_ARC, "Окружность", {}, "Создать образующую поверхности в виде окружности\nОкружность"},
      {ID_CREATE_LINE, "Прямая", {}, "Создать образующую поверхности в виде прямой\nПрямая"},
      {ID_FIELD_MAP, "Карта поля", {}, "Показать цветовую карту |E| или потенциала\nКарта поля"},
      {ID_EQUIPOTENTIALS, "Эквипотенциали", {}, "Показать эквипотенциальные линии\nЭквипотенциали"},
      {ID_FIELD_LINES, "Силовые линии", {}, "Показать силовые линии поля\nСиловые линии"},
      {ID_FIELD_PICTURE, "Картина поля...", {}, "Величина карты, шаг эквипотенциалей, число силовых линий"},
      {ID_EXPORT_VIEW, "Экспорт изображения...", {}, "Сохранить изображение системы и поля в PNG или SVG"},
      {ID_FULL_SECTION, "Все сечение", {}, "Показать сечение целиком: полуплоскость и ее зеркальное отражение в r < 0\nВсе сечение"},
      {ID_RESULTS_PANE, "Результаты", {}, "Показать или скрыть панель результатов\nРезультаты"},
  };
  return table;
}

const FrameCommand* FindCommand(int id) {
  for (const FrameCommand& c : FrameCommands())
    if (c.id == id) return &c;
  return nullptr;
}
