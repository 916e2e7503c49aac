-- start-up script
local menu = require("menu")
menu.show("main")
-- start-up script
local menu = require("menu")
menu.show("main")
-- start-up script
local menu = require("menu")
menu.show("main")
-- start-up script
local menu = require("menu")
menu.show("main")
