#include "arkivolog.h"

Q_LOGGING_CATEGORY(lcApi, "arkivo.api", QtInfoMsg)
Q_LOGGING_CATEGORY(lcCatalogue, "arkivo.catalogue", QtInfoMsg)
Q_LOGGING_CATEGORY(lcCloud, "arkivo.cloud", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPlugin, "arkivo.plugin", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSettings, "arkivo.settings", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUsage, "arkivo.usage", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWidgets, "arkivo.widgets", QtInfoMsg)
