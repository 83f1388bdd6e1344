//Maya ASCII 2018ff08 scene
//Name: biped_rig.ma
//Last modified: Mon, Jan 11, 2027 10:30:00 AM
//Codeset: UTF-8
file -rdi 1 -ns "model" -rfn "modelRN" -op "v=0;" -typ "mayaAscii" "biped_model.ma";
file -r -ns "model" -dr 1 -rfn "modelRN" -op "v=0;" -typ "mayaAscii" "biped_model.ma";
requires maya "2018ff08";
currentUnit -l centimeter -a degree -t film;
fileInfo "application" "maya";
fileInfo "product" "Maya 2018";
fileInfo "version" "2018";
fileInfo "cutIdentifier" "201804062215-77a9351045";
fileInfo "osv" "Linux";
createNode transform -s -n "persp";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000201";
	setAttr ".v" no;
	setAttr ".t" -type "double3" 12 9 14 ;
	setAttr ".r" -type "double3" -24.938352729602379 40.599999999999994 0 ;
createNode camera -s -n "perspShape" -p "persp";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000202";
	setAttr -k off ".v" no;
	setAttr ".fl" 34.999999999999993;
	setAttr ".coi" 19.5;
	setAttr ".imn" -type "string" "persp";
	setAttr ".den" -type "string" "persp_depth";
	setAttr ".man" -type "string" "persp_mask";
	setAttr ".hc" -type "string" "viewSet -p %camera";
createNode transform -s -n "top";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000203";
	setAttr ".v" no;
	setAttr ".t" -type "double3" 0 1000.1 0 ;
	setAttr ".r" -type "double3" -90 0 0 ;
createNode camera -s -n "topShape" -p "top";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000204";
	setAttr -k off ".v" no;
	setAttr ".rnd" no;
	setAttr ".coi" 1000.1;
	setAttr ".ow" 30;
	setAttr ".imn" -type "string" "top";
	setAttr ".den" -type "string" "top_depth";
	setAttr ".man" -type "string" "top_mask";
	setAttr ".hc" -type "string" "viewSet -t %camera";
	setAttr ".o" yes;
createNode transform -s -n "front";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000205";
	setAttr ".v" no;
	setAttr ".t" -type "double3" 0 0 1000.1 ;
createNode camera -s -n "frontShape" -p "front";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000206";
	setAttr -k off ".v" no;
	setAttr ".rnd" no;
	setAttr ".coi" 1000.1;
	setAttr ".ow" 30;
	setAttr ".imn" -type "string" "front";
	setAttr ".den" -type "string" "front_depth";
	setAttr ".man" -type "string" "front_mask";
	setAttr ".hc" -type "string" "viewSet -f %camera";
	setAttr ".o" yes;
createNode transform -s -n "side";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000207";
	setAttr ".v" no;
	setAttr ".t" -type "double3" 1000.1 0 0 ;
	setAttr ".r" -type "double3" 0 90 0 ;
createNode camera -s -n "sideShape" -p "side";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000208";
	setAttr -k off ".v" no;
	setAttr ".rnd" no;
	setAttr ".coi" 1000.1;
	setAttr ".ow" 30;
	setAttr ".imn" -type "string" "side";
	setAttr ".den" -type "string" "side_depth";
	setAttr ".man" -type "string" "side_mask";
	setAttr ".hc" -type "string" "viewSet -s %camera";
	setAttr ".o" yes;
createNode joint -n "hips";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000210";
	addAttr -ci true -sn "liw" -ln "lockInfluenceWeights" -min 0 -max 1 -at "bool";
	setAttr ".t" -type "double3" 0 1 0 ;
	setAttr ".mnrl" -type "double3" -360 -360 -360 ;
	setAttr ".mxrl" -type "double3" 360 360 360 ;
	setAttr ".bps" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 1 0 1;
	setAttr ".radi" 0.3;
createNode joint -n "spine" -p "hips";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000211";
	addAttr -ci true -sn "liw" -ln "lockInfluenceWeights" -min 0 -max 1 -at "bool";
	setAttr ".t" -type "double3" 0 1 0 ;
	setAttr ".mnrl" -type "double3" -360 -360 -360 ;
	setAttr ".mxrl" -type "double3" 360 360 360 ;
	setAttr ".bps" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 2 0 1;
	setAttr ".radi" 0.3;
createNode joint -n "head" -p "spine";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000212";
	addAttr -ci true -sn "liw" -ln "lockInfluenceWeights" -min 0 -max 1 -at "bool";
	setAttr ".t" -type "double3" 0 1 0 ;
	setAttr ".mnrl" -type "double3" -360 -360 -360 ;
	setAttr ".mxrl" -type "double3" 360 360 360 ;
	setAttr ".bps" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 3 0 1;
	setAttr ".radi" 0.3;
createNode joint -n "tail" -p "hips";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000213";
	addAttr -ci true -sn "liw" -ln "lockInfluenceWeights" -min 0 -max 1 -at "bool";
	setAttr ".t" -type "double3" 0 0.2 -0.6 ;
	setAttr ".mnrl" -type "double3" -360 -360 -360 ;
	setAttr ".mxrl" -type "double3" 360 360 360 ;
	setAttr ".radi" 0.3;
createNode fosterParent -n "modelRNfosterParent1";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000214";
createNode mesh -n "bodyShapeDeformed" -p "modelRNfosterParent1";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000215";
	setAttr -k off ".v";
	setAttr -s 2 ".iog[0].og";
	setAttr ".vir" yes;
	setAttr ".vif" yes;
	setAttr ".uvst[0].uvsn" -type "string" "map1";
	setAttr ".cuvs" -type "string" "map1";
	setAttr ".dcc" -type "string" "Ambient+Diffuse";
createNode lightLinker -s -n "lightLinker1";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000220";
	setAttr -s 3 ".lnk";
	setAttr -s 3 ".slnk";
createNode displayLayerManager -n "layerManager";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000221";
createNode displayLayer -n "defaultLayer";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000222";
createNode renderLayerManager -n "renderLayerManager";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000223";
createNode renderLayer -n "defaultRenderLayer";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000224";
	setAttr ".g" yes;
createNode reference -n "modelRN";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000225";
	setAttr -s 2 ".phl";
	setAttr ".phl[1]" 0;
	setAttr ".phl[2]" 0;
	setAttr ".ed" -type "dataReferenceEdits" 
		"modelRN"
		"modelRN" 0
		"modelRN" 4
		0 "|modelRNfosterParent1|bodyShapeDeformed" "|model:body" "-s -r "
		2 "|model:body|model:bodyShape" "intermediateObject" " 1"
		5 3 "modelRN" "|model:body|model:bodyShape.worldMesh" "modelRN.placeHolderList[1]" 
		""
		5 4 "modelRN" "model:skinSG.dagSetMembers" "modelRN.placeHolderList[2]" 
		"";
	setAttr ".ptag" -type "string" "";
lockNode -l 1 ;
createNode tweak -n "tweak1";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000230";
createNode skinCluster -n "skinCluster1";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000231";
	setAttr -s 12 ".wl";
	setAttr ".wl[0:11].w"
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		2 0 0.5 1 0.5
		2 0 0.5 1 0.5
		2 0 0.5 1 0.5
		2 0 0.5 1 0.5
		2 1 0.3 2 0.7
		2 1 0.3 2 0.7
		2 1 0.3 2 0.7
		2 1 0.3 2 0.7;
	setAttr -s 3 ".pm";
	setAttr ".pm[0]" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 -1 0 1;
	setAttr ".pm[1]" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 -2 0 1;
	setAttr ".pm[2]" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 -3 0 1;
	setAttr ".gm" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 0 0 1;
	setAttr -s 3 ".ma";
	setAttr -s 3 ".dpf[0:2]"  4 4 4;
	setAttr -s 3 ".lw";
	setAttr ".mmi" yes;
	setAttr ".mi" 3;
	setAttr ".ucm" yes;
createNode objectSet -n "tweakSet1";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000232";
	setAttr ".ihi" 0;
	setAttr ".vo" yes;
createNode objectSet -n "skinCluster1Set";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000233";
	setAttr ".ihi" 0;
	setAttr ".vo" yes;
createNode groupId -n "groupId2";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000234";
	setAttr ".ihi" 0;
createNode groupId -n "skinCluster1GroupId";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000235";
	setAttr ".ihi" 0;
createNode groupParts -n "groupParts2";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000236";
	setAttr ".ihi" 0;
	setAttr ".ic" -type "componentList" 1 "vtx[*]";
createNode groupParts -n "skinCluster1GroupParts";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000237";
	setAttr ".ihi" 0;
	setAttr ".ic" -type "componentList" 1 "vtx[*]";
createNode dagPose -n "bindPose1";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000238";
	setAttr -s 3 ".wm";
	setAttr ".wm[0]" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 1 0 1;
	setAttr ".wm[1]" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 2 0 1;
	setAttr ".wm[2]" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 3 0 1;
	setAttr -s 3 ".xm";
	setAttr ".xm[0]" -type "matrix" "xform" 1 1 1 0 0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1 0 0 0 1 1 1 1 yes;
	setAttr ".xm[1]" -type "matrix" "xform" 1 1 1 0 0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1 0 0 0 1 1 1 1 yes;
	setAttr ".xm[2]" -type "matrix" "xform" 1 1 1 0 0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1 0 0 0 1 1 1 1 yes;
	setAttr -s 3 ".m";
	setAttr -s 3 ".p";
	setAttr ".bp" yes;
select -ne :time1;
	setAttr ".o" 1;
	setAttr ".unw" 1;
select -ne :renderPartition;
	setAttr -s 2 ".st";
select -ne :defaultRenderingList1;
select -ne :initialShadingGroup;
	setAttr ".ro" yes;
select -ne :initialParticleSE;
	setAttr ".ro" yes;
connectAttr "skinCluster1GroupId.id" "bodyShapeDeformed.iog.og[0].gid";
connectAttr "skinCluster1Set.mwc" "bodyShapeDeformed.iog.og[0].gco";
connectAttr "groupId2.id" "bodyShapeDeformed.iog.og[1].gid";
connectAttr "tweakSet1.mwc" "bodyShapeDeformed.iog.og[1].gco";
connectAttr "skinCluster1.og[0]" "bodyShapeDeformed.i";
connectAttr "tweak1.vl[0].vt[0]" "bodyShapeDeformed.twl";
connectAttr "modelRN.phl[1]" "groupParts2.ig";
connectAttr "bodyShapeDeformed.iog" "modelRN.phl[2]";
connectAttr "hips.msg" "bindPose1.m[0]";
connectAttr "spine.msg" "bindPose1.m[1]";
connectAttr "head.msg" "bindPose1.m[2]";
connectAttr "bindPose1.w" "bindPose1.p[0]";
connectAttr "bindPose1.m[0]" "bindPose1.p[1]";
connectAttr "bindPose1.m[1]" "bindPose1.p[2]";
connectAttr "hips.bps" "bindPose1.wm[0]";
connectAttr "spine.bps" "bindPose1.wm[1]";
connectAttr "head.bps" "bindPose1.wm[2]";
connectAttr "hips.s" "spine.is";
connectAttr "spine.s" "head.is";
connectAttr "hips.s" "tail.is";
relationship "link" ":lightLinker1" ":initialShadingGroup.message" ":defaultLightSet.message";
relationship "link" ":lightLinker1" ":initialParticleSE.message" ":defaultLightSet.message";
relationship "shadowLink" ":lightLinker1" ":initialShadingGroup.message" ":defaultLightSet.message";
relationship "shadowLink" ":lightLinker1" ":initialParticleSE.message" ":defaultLightSet.message";
connectAttr "layerManager.dli[0]" "defaultLayer.id";
connectAttr "renderLayerManager.rlmi[0]" "defaultRenderLayer.rlid";
connectAttr "defaultRenderLayer.msg" ":defaultRenderingList1.r" -na;
connectAttr "groupParts2.og" "tweak1.ip[0].ig";
connectAttr "groupId2.id" "tweak1.ip[0].gi";
connectAttr "skinCluster1GroupParts.og" "skinCluster1.ip[0].ig";
connectAttr "skinCluster1GroupId.id" "skinCluster1.ip[0].gi";
connectAttr "bindPose1.msg" "skinCluster1.bp";
connectAttr "hips.wm" "skinCluster1.ma[0]";
connectAttr "hips.liw" "skinCluster1.lw[0]";
connectAttr "hips.obcc" "skinCluster1.ifcl[0]";
connectAttr "spine.wm" "skinCluster1.ma[1]";
connectAttr "spine.liw" "skinCluster1.lw[1]";
connectAttr "spine.obcc" "skinCluster1.ifcl[1]";
connectAttr "head.wm" "skinCluster1.ma[2]";
connectAttr "head.liw" "skinCluster1.lw[2]";
connectAttr "head.obcc" "skinCluster1.ifcl[2]";
connectAttr "groupId2.msg" "tweakSet1.gn" -na;
connectAttr "bodyShapeDeformed.iog.og[1]" "tweakSet1.dsm" -na;
connectAttr "tweak1.msg" "tweakSet1.ub[0]";
connectAttr "skinCluster1GroupId.msg" "skinCluster1Set.gn" -na;
connectAttr "bodyShapeDeformed.iog.og[0]" "skinCluster1Set.dsm" -na;
connectAttr "skinCluster1.msg" "skinCluster1Set.ub[0]";
connectAttr "groupId2.id" "groupParts2.gi";
connectAttr "tweak1.og[0]" "skinCluster1GroupParts.ig";
connectAttr "skinCluster1GroupId.id" "skinCluster1GroupParts.gi";
// End of biped_rig.ma
